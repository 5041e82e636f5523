#pragma once
// The print page ("Print Bitmap") and its "Printing" dialog without windows: prints NV images
// already stored in the printer, all 255 or a typed selection, one FS p command every 300 ms,
// with a quality byte and an optional "--- Logo %d ---\n" header before each.
//
// Use from a window: keep the page's controls in the public fields (range, selection, quality,
// header) and show printerName(), portName() and printEnabled() when the page becomes active.
// On Print call print(); when it returns true open the dialog, let the TimerHost deliver
// onTimer, forward Cancel to cancel() and a lost input to cancelMode(), render view() after each
// call, close the dialog when dialogClosed() is true and then call end() (closes the port).
// The screen's thread only; pauses through the Clock.
#include "base/TimerHost.h"
#include "logo/LogoLink.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace korva {

struct LogoOptions;

struct NvPrintView {
    std::string text = " "; // "Printing... %d/255" after each image
    int rangeMax = 0;
    int position = 0;
};

class NvPrint final : public TimerClient {
public:
    static constexpr int kTimerId = 1;
    static constexpr int kTickMs = 300;
    static constexpr int kFinishPauseMs = 1000;
    static constexpr int kAllImages = 255;

    enum Range { All = 0, Selection = 1 };
    enum Quality { Normal = 0, DoubleWidth = 1, DoubleHeight = 2, Quadruple = 3 };

    NvPrint(const LogoContext& context, const LogoOptions& options, TimerHost& timers,
            std::string portName);
    ~NvPrint() override;
    NvPrint(const NvPrint&) = delete;
    NvPrint& operator=(const NvPrint&) = delete;

    // The page's controls (set to All, Normal, No Header when the page opens).
    int range = All;
    std::string selection;
    int quality = Normal;
    bool header = false;

    std::string printerName() const;
    const std::string& portName() const { return m_portName; }
    // Print is offered for COM, LPT, USB and ETHERNET_II, not for a file.
    bool printEnabled() const;

    // The Print button: checks the selection ("NV image number is incorrect." and nothing sent
    // when it is invalid), prepares the port, and starts the dialog's timer. False when no
    // dialog opens (the reason has been shown).
    bool print();
    void onTimer(int id) override;
    void cancel();
    void cancelMode();
    // After the dialog closed: the port closed if print() opened it.
    void end();

    bool dialogClosed() const { return m_closed; }
    const NvPrintView& view() const { return m_view; }
    int printed() const { return m_count; }
    int total() const { return static_cast<int>(m_numbers.size()); }
    bool cancelled() const { return m_cancel; }
    bool failed() const { return m_error; }
    bool selectionInvalid() const { return m_invalid; }
    void setProgress(std::function<void()> callback) { m_progress = std::move(callback); }

    // The bytes for one image: [header text] [1B] 1C 70 n m.
    static std::vector<std::uint8_t> imageCommand(int number, int quality, bool header, bool star);

private:
    bool prepare();
    void close();

    const LogoContext& m_ctx;
    const LogoOptions& m_options;
    TimerHost& m_timers;
    std::string m_portName;
    LogoLink m_link;
    std::vector<int> m_numbers;
    NvPrintView m_view;
    std::function<void()> m_progress;
    int m_count = 0;
    bool m_cancel = false;
    bool m_error = false;
    bool m_invalid = false;
    bool m_closed = false;
    bool m_open = false;
};

} // namespace korva
