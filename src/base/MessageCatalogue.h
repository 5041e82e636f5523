#pragma once
// The numbered user messages in English and Korean, and the fixed window titles.
//
// One catalogue object per run (owned by the application context). It starts on the English
// table; selectLanguage() switches to the Korean table for language id 0x0412, to English for
// every other id. text(n) is entry n of the active table; an out-of-range n gives "".
#include <cstdint>
#include <string>

namespace korva {

constexpr int kMessageCount = 60;

// Entry numbers, named after their English texts.
enum Msg : int {
    MsgInputOutputFileName = 0,
    MsgCompleted = 1,
    MsgInitFail = 2,
    MsgFileOpenError = 3,
    MsgNoExtFontData = 4,
    MsgBaudNotSelected = 5,
    MsgDataLengthNotSelected = 6,
    MsgParityNotSelected = 7,
    MsgFlowNotSelected = 8,
    MsgInvalidDevice = 9,
    MsgTurnOnUsbPrinter = 10,
    MsgOnlyOneDevice = 11,
    MsgNoLptPort = 12,
    MsgNoComPort = 13,
    MsgBmpNotSelected = 14,
    MsgResetList = 15,
    MsgOutOfMemory = 16,
    MsgAllImagesWritten = 17,
    MsgPortOpenError = 18,
    MsgOpenPortOrFileError = 19,
    MsgPrinterCheckError = 20,
    MsgNvDefinitionComplete = 21,
    MsgWriteToPortError = 22,
    MsgNoFileSelectedErase = 23,
    MsgPrinterCheckError2 = 24,
    MsgNvImageNumberIncorrect = 25,
    MsgOverlappedWriteFailed = 26,
    MsgReceiveDataError = 27,
    MsgCommError = 28,
    MsgPortNotOpened = 29,
    MsgCreateEventRead = 30,
    MsgCreateEventWrite = 31,
    MsgPrinterNotReady = 32,
    MsgLptWriteError = 33,
    MsgUpdateCompleteFirmware = 34,
    MsgConfirmBoot = 35,
    MsgConfirmDownloader = 36,
    MsgConfirmExtFont = 37,
    MsgNotFirmwareFile = 38,
    MsgNoExtFontInFile = 39,
    MsgThreadWatchCommError = 40,
    MsgQueueFull = 41,
    MsgCannotTransmit = 42,
    MsgCannotReadMoreFiles = 43,
    MsgLogFileBitmapIncorrect = 44,
    MsgUnsupportedBitmap = 45,
    MsgNvAreaTooSmall = 46,
    MsgLogFileBitmapIncorrect2 = 47,
    MsgWriteFail = 48,
    MsgConfirmDefaults = 49,
    MsgNvMemoryOutOfRange = 50,
    MsgGrayNeeds8Bit = 51,
    MsgCannotCreateReceiveThread = 52,
    MsgStopBitNotSelected = 53,
    MsgStopBitWarning = 54,
    MsgPortRange = 55,
    MsgSystemError = 56,
    MsgSearchFinished = 57,
    MsgConfirmNetworkChange = 58,
    MsgUpdateCompleteNetwork = 59,
};

// Fixed window titles (never translated).
constexpr const char* kAppName = "KORVASet";
constexpr const char* kTitleFirmwareKorva10 = "KORVASet : KORVA10 Firmware Download";
constexpr const char* kTitleFirmware = "KORVASet : Firmware Download";
constexpr const char* kTitleLogoSetup = "KORVASet : Tavel Image Logo Setup";
constexpr const char* kTitleUserSetup = "KORVASet : User Setup";
constexpr const char* kUsbSummaryText = "KORVA \r\nUSB-II Interface";

class MessageCatalogue {
public:
    void selectLanguage(std::uint16_t langId);
    bool korean() const { return m_korean; }

    const char* text(int n) const;
    static const char* english(int n);
    static const char* koreanText(int n);

    // The English/Korean pair of a text outside the catalogue, chosen by the same test.
    const char* pick(const char* englishText, const char* koreanText) const {
        return m_korean ? koreanText : englishText;
    }

private:
    bool m_korean = false;
};

} // namespace korva
