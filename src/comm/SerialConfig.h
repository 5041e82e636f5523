#pragma once
// Applying the chosen serial parameters to a terminal with termios.
//
// The terminal is put in raw mode (cfmakeraw), receiver on, carrier detect ignored (CLOCAL),
// and then:
// - baud: every standard Linux rate from 50 to 4000000; any other value is rejected (EINVAL);
// - data bits 5..8; parity 0 none, 1 odd, 2 even, 3 mark, 4 space (CMSPAR);
// - stop bits (low byte) 0 one, 1 one and a half, 2 two; Linux has no 1.5 setting, so it is
//   sent as 2 stop bits, the setting a 1.5-bit receiver accepts (oneAndHalfAsTwo reports it);
// - flow 1 H/W (CRTSCTS, DTR and RTS raised), 2 S/W (IXON and IXOFF), 3 NONE (neither, DTR and
//   RTS lowered). Modem-line changes are best effort (pseudo-terminals have no modem lines).
#include "comm/ConnectionSettings.h"

#include <termios.h>

namespace korva {

struct SerialApplyResult {
    enum Status { Ok, ReadFailed, Rejected } status = Ok;
    int error = 0;                // errno when not Ok
    bool oneAndHalfAsTwo = false; // 1.5 stop bits were mapped to 2
};

class SerialConfig {
public:
    // B-constant of a rate, or 0 when Linux has none for it.
    static speed_t speedOf(int baud);
    // The rate a B-constant stands for, or -1.
    static int baudOf(speed_t speed);

    // Fills tio from settings (tio holds the terminal's current attributes on entry).
    // Returns 0, or EINVAL for a value Linux cannot express.
    static int build(const ConnectionSettings& settings, termios& tio, bool& oneAndHalfAsTwo);

    // Reads the terminal's attributes, builds and applies them, sets the modem lines.
    static SerialApplyResult apply(int fd, const ConnectionSettings& settings);
};

} // namespace korva
