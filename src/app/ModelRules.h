#pragma once
// What a model name means: its family, its interface kind and its ModelKind. Each is a table of
// prefix or suffix tests applied in order; the first hit decides.
#include <string_view>
#include <vector>

namespace korva {

// ModelKind: the printer class many rules branch on.
enum ModelKindValue : int {
    ModelKindOther = 1,
    ModelKindKorva10 = 2,
    ModelKindKorva20II = 3,
    ModelKindNrw4600 = 4,
    ModelKindKorva30 = 5,
    ModelKindKorva40 = 6,
};

// InterfaceKind: how the model is attached.
enum InterfaceKindValue : int {
    InterfaceNone = 0,
    InterfaceSerial = 1,
    InterfaceParallel = 2,
    InterfaceUsbSerial = 3,
    InterfaceUsbPrinter = 4,
    InterfaceEthernet = 6,
    InterfaceWifi = 7,
};

// 0 means the model is not known (the selection screen then shows "Invalid Device!").
int modelFamily(std::string_view model);
// Needs the family, because "...II" is USB only when the family is not 2.
int interfaceKind(std::string_view model, int family);
int modelKind(std::string_view model);

// The USB hardware ids the selection screen looks for, by model family: the printer-class
// interface of the presence search, and the USB virtual serial port.
const char* usbPrinterSearchId(int family);
const char* usbSerialPortId(int family);
// The printer-class id the connection opens a printer of model kind `kind` by (its first try).
const char* usbPrinterOpenId(int kind);
// What a presence search for a model looks for: the family's id, unless the connection never
// opens a device of that id for the model's kind; then the id it does open, since a search that
// finds a printer the connection cannot open (or misses the one it can) helps nobody.
const char* usbPresenceSearchId(int family, int kind);

// The selection screen's Baudrate list for a model family, first item first.
std::vector<int> baudRatesOf(int family);

} // namespace korva
