#pragma once
// What one virtual printer is: its model, the links it serves and the faults it shows on
// request. Plain values; korva-sim fills them from its command line, tests set them directly.
#include <string>
#include <vector>

namespace korva {

struct SimOptions {
    // Model name as the selection screen lists it ("KORVA40S", "KORVA30U-II", "KORVA10S", ...).
    // It decides the USB product ids, the ID byte, the factory settings and the firmware areas.
    std::string model = "KORVA40S";

    // Links. Each pseudo-terminal link keeps one slave descriptor open itself, so a client
    // that closes its end never hangs the terminal up.
    bool serial = false;   // a pseudo-terminal standing in for a COM port
    bool parallel = false; // a pseudo-terminal standing in for a bidirectional LPT port
    bool usb = false;      // a pseudo-terminal as the USB printer-class node (replies escaped)
    int tcpPort = -1; // -1: no TCP service; 0: 127.0.0.1 with an OS-assigned port; else that port
    std::string udpAddress; // "" off; else a 127.x.y.z address to answer network records on
    int udpPort = 2918;     // the network record port (tests keep 2918 and vary the address)
    std::string sysfsDir;   // with usb: the fake tree is built here (DIR/sys, DIR/dev); "" = a
                            // private temporary folder, removed on stop
    std::string outDir;     // PNG files of NV images and printed images; "" = no files
    std::string captureDir; // every byte each link receives, as DIR/<link>.bin ("tcp#1" is
                            // written "tcp-1.bin"); "" = no capture

    // After Leave setup mode the printer applies its values and ignores every byte for this
    // long (real time, milliseconds). Tests of the tool set it small.
    int leaveBusyMs = 3000;
    // After an NV definition command (FS q n) the printer erases its NV graphics memory for this
    // long and loses every byte that arrives meanwhile (reported as ignored, "nv-erase").
    int nvEraseMs = 3000;
    // A KORVA10 erase packet erases its flash sectors (first..last, both counted) for this long
    // each before the printer answers DLE ACK; bytes arriving meanwhile are lost ("sector-erase").
    int sectorEraseMs = 700;

    // Faults.
    int nakEveryK = 0; // answer every k-th KORVA10 write packet with DLE NAK (0 off)
    int dropAckAt = 0; // the n-th KORVA10 packet accepted (erase = 1) gets no ACK (0 off)
    std::vector<int> dropReplyFor; // setting numbers whose Query setting gets no reply
    bool dropIdReply = false;      // GS I 1 (printer ID) gets no reply
    bool splitReplies = false;     // cut replies into random fragments, join tails with the next
    bool statusBlocks = false;     // put an automatic status block 10 00 00 0F before each reply
    bool garbage = false;          // put 1..8 random bytes (never 10, 27, 37) before each reply
    long closeAfterBytes = -1;     // close a link once it has received this many bytes (-1 off)
    long stallAfterBytes = -1;     // stop reading a link, left open, after this many bytes (-1 off)
    int bytesPerSecond = 0;        // slow link: at most this many bytes per second each way (0 off)
    bool mute = false;             // decode everything, answer nothing
    // Network record service: each search is answered this many times (2 shows a duplicate
    // answer, 300 a flood), and before the answers comes one datagram of each kind listed here:
    // "short" (20 bytes of a record), "long" (a record with 25 more bytes), "garbage" (1 to 80
    // random bytes, never 35).
    int udpAnswers = 1;
    std::vector<std::string> udpNoise;
    unsigned seed = 1; // for the random faults, so a run can be repeated

    // The network record the printer reports (search) until a change record replaces it.
    std::string ip = "192.168.0.254";
    std::string mask = "255.255.255.0";
    std::string gateway = "192.168.0.1";
    std::string mac = "00:1A:2B:3C:4D:5E";
    bool dhcp = false;
    int netPort = -1; // -1: the TCP service's real port when it runs, else 6001
};

} // namespace korva
