#pragma once
// The Upload button and its "Uploading" dialog without a window: one FS q definition that
// replaces every NV image in the printer with the list's images (or, for an empty list, the
// 7-byte command that erases them all).
//
// Use from a window: begin() on the click (false: the click is over, its messages shown; an
// empty list was erased or refused there, see outcome()). When it returns true, open the
// dialog, call initDialog() from its first showing (it sends the define command and blocks for
// the printer's erase wait), let the TimerHost deliver onTimer, forward Cancel to cancel() and
// a lost input to cancelMode(), and render view() after each call (or from setProgress's
// callback, which runs between chunks). Close the dialog when dialogClosed() is true, then call
// end() for the outcome message, the fillers after a cancel and the port's close.
//
// Every pause goes through the Clock and every timer through the TimerHost. The screen's thread
// only.
#include "base/Prompter.h"
#include "base/TimerHost.h"
#include "logo/CBitmapRaster.h"
#include "logo/LogoLink.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace korva {

class LogoList;
class Profile;
struct LogoOptions;

struct NvUploadView {
    std::string status = "Uploading...";
    int rangeMax = 0; // total bytes / 100
    int position = 0; // bytes sent / 100
};

enum class UploadOutcome {
    None,      // the click ended before anything was sent (refused, answered No, no port)
    Completed, // every image sent and the profile rewritten
    Erased,    // the empty list's erase command sent
    Cancelled, // cancelled; the images not started went out as empty records
    Failed,    // a write failed or a listed file could not be read; profile untouched
};

class NvUpload final : public TimerClient {
public:
    static constexpr int kStartTimer = 1;
    static constexpr int kNextTimer = 2;
    static constexpr int kStepMs = 10;
    static constexpr std::size_t kChunk = 512;
    static constexpr int kChunkPauseMs = 10;
    static constexpr int kEraseWaitMs = 3500;
    static constexpr int kEraseWaitNetworkMs = 5000;
    static constexpr int kNetworkEraseConnectMs = 100;
    static constexpr int kKorva30LimitKB = 128;
    static constexpr const char* kKorva30Notice = "KORVA30 NV  graphic  memory size is 128Kbytes.";
    static constexpr std::uint8_t kEraseAll[7] = {0x1C, 0x71, 0x01, 0x00, 0x00, 0x00, 0x00};

    NvUpload(const LogoContext& context, LogoList& list, const LogoOptions& options,
             Profile& profile, TimerHost& timers, std::string portName);
    ~NvUpload() override;
    NvUpload(const NvUpload&) = delete;
    NvUpload& operator=(const NvUpload&) = delete;

    bool begin();
    void initDialog();
    void onTimer(int id) override;
    void cancel();
    void cancelMode();
    UploadOutcome end();

    bool dialogClosed() const { return m_closed; }
    const NvUploadView& view() const { return m_view; }
    UploadOutcome outcome() const { return m_outcome; }
    // Called whenever the view changed inside a step (between chunks).
    void setProgress(std::function<void()> callback) { m_progress = std::move(callback); }

    std::int64_t bytesSent() const { return m_bytesSent; }
    std::int64_t totalBytes() const { return m_totalBytes; }
    int imagesStarted() const { return m_started; }
    int imageCount() const { return m_count; }
    bool cancelled() const { return m_cancel; }
    bool failed() const { return m_error; }
    // Completed, but writing the list to the profile failed.
    bool listUnrecorded() const { return m_listUnrecorded; }

private:
    bool connect();
    bool eraseAll();
    void sendNext();
    void finish();
    void closeDialog();
    void fail(const std::string& text);
    void refresh();
    void status(const std::string& name);
    int currentEntryWait() const;
    void showText(const std::string& text, Icon icon = Icon::Exclamation);

    const LogoContext& m_ctx;
    LogoList& m_list;
    const LogoOptions& m_options;
    Profile& m_profile;
    TimerHost& m_timers;
    std::string m_portName;
    LogoLink m_link;
    std::unique_ptr<CBitmapRaster> m_raster;
    std::vector<int> m_order;
    std::vector<std::uint8_t> m_record;
    NvUploadView m_view;
    std::function<void()> m_progress;

    int m_count = 0;
    int m_imageCounter = 0;
    int m_orderIndex = -1;
    int m_started = 0;
    std::int64_t m_bytesSent = 0;
    std::int64_t m_totalBytes = 0;
    int m_waitMs = 0;
    bool m_cancel = false;
    bool m_error = false;
    bool m_listUnrecorded = false;
    std::string m_unreadable; // a listed file that could not be converted at upload time
    bool m_closed = false;
    bool m_dialog = false;
    UploadOutcome m_outcome = UploadOutcome::None;
};

} // namespace korva
