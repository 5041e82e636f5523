#pragma once
// The one connection to the printer for serial (COM), parallel (LPT), USB printer-class and
// file output, with the serial receive thread. The fields of ConnectionSettings (m_PortName,
// m_BaudRate, m_DataBits, m_Parity, m_StopBits, m_FlowControl, m_ModelKind) and m_ReceiveMode,
// m_NotifyWnd are set by the caller before Open.
//
// Port names (see comm/PortName.h): "COMn" in any case is /dev/ttyS(n-1) under the dev root, a
// device path such as /dev/ttyUSB0 or a pseudo-terminal is used as it stands; "LPTn" is
// /dev/lp(n-1), "LPT:/path" that path; "USB" the printer-class device chosen by m_ModelKind;
// "FILE" asks for an output file name. Other names (ETHERNET_II, WIFI) are not opened here.
//
// Contract:
// - Open() returns 1 when open, 0 on failure (the cause is in the error log). A COM Open with
//   m_BaudRate, m_DataBits, m_Parity or m_FlowControl still -1 returns 0 and logs nothing. A COM
//   Open while a handle is held closes it, logs "CPorts::Open() CloseHandle run\r\n" and pauses
//   1000 ms on the Clock. Serial ports are put in raw mode with the chosen parameters (every
//   standard rate from 50 to 4000000; 1.5 stop bits have no Linux setting and are sent as 2,
//   with a log line), both directions flushed. Modem-line changes are best effort, so
//   pseudo-terminals open like real ports.
// - Open starts the receive thread for COM when m_ReceiveMode is 2, or 3 with m_ModelKind 2,
//   and for USB when m_ReceiveMode is 3 with m_ModelKind 2 (its replies unescaped as
//   CollectUsbReplies does).
// - Write(buffer, length) is one call per caller buffer: it returns the bytes written, 0 on
//   failure. Writes wait at most m_WriteTimeoutPerByteMs per byte for the line to take the
//   bytes, at least kMinWriteWaitMs on a serial port and m_PrinterMinWriteWaitMs on the others
//   (a busy printer holds a short write for seconds); a stalled line returns the partial count
//   and logs "WriteFile Time-out!"; a broken device (an unplugged adapter, a pseudo-terminal
//   whose other side is gone) returns 0 and logs "WriteFile get error result [%d]" (errno).
//   A file write (the same bounds: a pipe whose reader stopped) returns length when all was
//   written, else 0. Never blocks without limit.
// - Read(buffer, capacity) returns what is waiting now (at most capacity), 0 when nothing is.
// - Close() returns 1 if a port handle was held. It wakes the receive thread at once and joins
//   it, so no notification reaches m_NotifyWnd after Close returns. Called from inside the
//   notification (on the receive thread itself) it cannot join: the thread then ends when the
//   notification returns and is joined by the next Open, Close or the destructor. A NotifyTarget
//   must therefore not wait for the thread that calls Close (copy the bytes, or hand them on
//   without blocking).
// - The destructor closes and joins.
//
// Threads: Open, Write, Read, Close, EnumeratePorts and CollectUsbReplies on the owner's thread
// (Read only while no receive thread runs: that thread consumes the port's input). The receive
// thread is the only producer of m_QueueRead while it runs;
// it calls m_NotifyWnd->onDataArrived() synchronously after each batch, and shows the queue-full
// message (catalogue entry 41) through the Prompter on its own thread, once per spell of drops
// (QueueFullNotice).
#include "base/Clock.h"
#include "base/ErrorLog.h"
#include "base/MessageCatalogue.h"
#include "base/Prompter.h"
#include "comm/CommQueue.h"
#include "comm/ConnectionSettings.h"
#include "comm/DeviceRoots.h"
#include "comm/NotifyTarget.h"
#include "comm/PortName.h"
#include "comm/QueueFullNotice.h"
#include "comm/UniqueFd.h"
#include "comm/UsbDiscovery.h"
#include "comm/UsbReplyUnescaper.h"
#include "comm/WakeEvent.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace korva {

class CPorts : public ConnectionSettings {
public:
    static constexpr int kDefaultWriteTimeoutPerByteMs = 100;
    static constexpr int kMinWriteWaitMs = 50;
    static constexpr int kMinPrinterWriteWaitMs = 5000;
    static constexpr std::uint32_t kReceiveBufferSize = 2048;
    static constexpr int kUsbReplyPasses = 4;
    static constexpr std::uint32_t kUsbReplyReadSize = 256;
    static constexpr int kStaleHandlePauseMs = 1000;

    CPorts(ErrorLog& log, const MessageCatalogue& catalogue, Prompter& prompter, Clock& clock,
           DeviceRoots roots = {});
    virtual ~CPorts();
    CPorts(const CPorts&) = delete;
    CPorts& operator=(const CPorts&) = delete;

    int Open();
    int Close();
    int Write(const std::uint8_t* buffer, std::uint32_t length);
    int Read(std::uint8_t* buffer, std::uint32_t capacity);
    // Before anything that purges or closes after a stream: a serial write the tty layer took
    // is not yet on the wire. Waits (on the Clock, at most limitMs) until the line's output
    // queue is empty, then discards only unread input. Other ports: nothing to do. 1 when the
    // output drained (or needs no draining), 0 when the limit passed first.
    int Drain(int limitMs);

    // Appends the present ports: kind 0 serial (device paths of /sys/class/tty entries backed by
    // a real device that is not a platform placeholder), kind 1 parallel ("LPT1" for lp0 ...).
    // Returns the number appended; 0 for none. Serial logs "Registry open fail" when the tty
    // class cannot be read.
    int EnumeratePorts(int kind, std::vector<std::string>& list);

    // Collects the USB printer's replies after a query: opens m_DevicePath a second time as
    // m_hUsbRead (a duplicate of the open USB connection's handle when the driver refuses a
    // second open; on failure the path is shown in a message box and 0 returned), makes four
    // reads of up to 256 bytes, each waiting up to m_UsbReplyWaitMs, unescapes them (1B 30 = 00,
    // 1B 1B = 1B, 1B x = x) into m_QueueRead, notifies m_NotifyWnd after each pass that received
    // bytes, closes m_hUsbRead. A batch that does not fit the queue is dropped with entry 41.
    // Returns 1 when the passes ran. The printer answers at its own pace, so an escape pair may
    // be cut between two collections: an escape byte that ends one is kept for the next one
    // (until the next USB Open) rather than lost, which would turn a 00 of the reply into 30.
    int CollectUsbReplies();

    // Forgets the USB device list kept since the last USB Open.
    void ReleaseUsbList();

    const DeviceRoots& roots() const { return m_Roots; }
    const std::vector<UsbPrinterInfo>& usbList() const { return m_UsbList; }
    // True from the start of the receive thread until it has left its loop.
    bool receiveThreadRunning() const { return m_ThreadAlive.load(); }

    // The receive thread routine; 1 when it ended normally, 0 when it could not watch the port.
    static int ThreadWatchComm(CPorts* connection);

    int m_hUsbRead = -1;
    std::string m_DevicePath;
    int m_ReceiveMode = 0; // 1 logo tool, 2 user setup, 3 firmware download
    NotifyTarget* m_NotifyWnd = nullptr;
    CommQueue m_QueueRead;
    std::atomic<int> m_bConnected{0};
    std::atomic<int> m_bThreadRun{0};
    int m_hPort = -1;
    // What the open handle is (None while closed): a FILE port's chosen name may look like a
    // device path, so the name does not tell.
    PortKind openedKind() const { return m_OpenKind; }

    // Tuning of the waits (milliseconds); the defaults are the product's values.
    int m_WriteTimeoutPerByteMs = kDefaultWriteTimeoutPerByteMs;
    int m_PrinterMinWriteWaitMs = kMinPrinterWriteWaitMs; // parallel, USB and FILE
    // After a failed Open: the device and the system's reason, for the person (OpenFailure.h).
    std::string m_OpenFailure;
    int m_UsbReplyWaitMs = 100;

private:
    int openKind(PortKind kind);
    int openSerial();
    int openParallel();
    int openFile();
    int openUsb();
    int startReceiveThread();
    void joinReceiveThread();
    void releaseExclusive();
    void watchLoop(int fd);
    int writeWaitMs(std::uint32_t length) const;
    int writeToDevice(const std::uint8_t* buffer, std::uint32_t length);
    int writeToFile(const std::uint8_t* buffer, std::uint32_t length);
    void queueBatch(const std::uint8_t* data, std::uint32_t length);

    ErrorLog& m_Log;
    const MessageCatalogue& m_Catalogue;
    Prompter& m_Prompter;
    Clock& m_Clock;
    QueueFullNotice m_QueueFull;
    DeviceRoots m_Roots;
    std::vector<UsbPrinterInfo> m_UsbList;
    UsbReplyUnescaper m_UsbUnescaper; // CollectUsbReplies' state from one collection to the next
    std::unique_ptr<WakeEvent> m_WakeThread;
    PortKind m_OpenKind = PortKind::None;
    std::string m_WatchedPortName; // the port name as the receive thread reports it
    UniqueFd m_WatchFd;            // the receive thread's duplicate of m_hPort
    std::atomic<bool> m_ThreadAlive{false};
    std::mutex m_StartMutex; // orders the thread's first look at m_ThreadId after Open set it
    std::thread m_hThread;
    std::thread::id m_ThreadId;
};

} // namespace korva
