#pragma once
// The logo tool's property sheet without windows ("KORVASet : Tavel Image Logo Setup"): the
// options and the list every page shares, page 1's buttons (Open File, Remove, Reset, the
// centring boxes), page 3's printer details and the Setup page (defaults per model, gray
// printing, Print To File, the sheet's OK).
//
// Use from a window: construct when the tool opens (the list is filled from the profile),
// render list() on pages 1-3 (rows in the order a ColumnSorter gives), forward the buttons to
// the handlers below, and read the Setup page's fields from setup(). The upload (NvUpload) and
// the print page (NvPrint) take options(), list() and portName() from here. The screen's
// thread only.
#include "logo/LogoLink.h"
#include "logo/LogoList.h"
#include "logo/LogoOptions.h"

#include <string>
#include <vector>

namespace korva {

class Profile;

struct LogoSetupPage {
    bool printToFile = false;
    bool grayEnabled = true; // "Use Gray Printing" is disabled for KORVA10 printers
    int maxPrintableWidth = 512;
    int threshold = LogoOptions::kDefaultThreshold;
    bool gray = false;
    bool star = false;
    std::string device; // the Device group: the connection summary, or "FILE"
};

class LogoSheet {
public:
    static constexpr int kSetupReplyMs = 1000;

    // portName is the port name in force (ConnectionSettings); summary the connection summary.
    // loadProfile false starts from an empty list (a command line that names its files).
    LogoSheet(const LogoContext& context, Profile& profile, std::string portName,
              std::string summary, bool loadProfile = true);

    LogoOptions& options() { return m_options; }
    LogoList& list() { return m_list; }
    Profile& profile() { return m_profile; }
    const std::string& portName() const { return m_portName; }

    // Page 1.
    // "&Open File...": asks for files and adds them in the dialog's order, stopping at the
    // first refusal; returns how many were added.
    int openFiles();
    // Adds these paths as the file dialog would have (number 0 each).
    int addFiles(const std::vector<std::string>& paths);
    // "Re&move" for the given rows (list positions): asks first; true when removed.
    bool removeRows(std::vector<int> rows);
    // "&Reset": asks first, then returns to the profile's list; true when reset.
    bool reset();
    void setCentre(int position, bool on);
    // The KORVA30 warning after adding files and when page 1 opens.
    void korva30Notice();

    // Page 3.
    std::string printerName() const;
    std::string portText() const; // "To File" for the file port

    // Setup page.
    const LogoSetupPage& setup() const { return m_setup; }
    void setPrintToFile(bool on);
    void setGray(bool on);
    void setStar(bool on) { m_setup.star = on; }
    bool setMaxPrintableWidth(int dots);
    bool setThreshold(int value);
    // Leaving the Setup page: its fields become the options.
    void leaveSetup();
    // OK of the sheet: ESC @ and GS I 1 as the printer's wake-up (nothing for a file); the
    // options are kept. False when the port could not be opened or written (message shown).
    bool ok();

private:
    const LogoContext& m_ctx;
    Profile& m_profile;
    LogoOptions m_options;
    LogoList m_list;
    std::string m_portName;
    std::string m_savedPortName;
    std::string m_summary;
    LogoSetupPage m_setup;
};

} // namespace korva
