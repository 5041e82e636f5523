#include "gui/ScreenshotTour.h"

#include "app/ConnectionSummary.h"
#include "app/ModelRules.h"
#include "base/Clock.h"
#include "base/FileVersion.h"
#include "base/RecordingPrompter.h"
#include "gui/DemoPaper.h"
#include "gui/DemoPrinter.h"
#include "gui/DesktopApp.h"
#include "gui/FirmwareDialog.h"
#include "gui/Korva10FirmwareDialog.h"
#include "gui/LogoListView.h"
#include "gui/LogoPages.h"
#include "gui/LogoProgressDialog.h"
#include "gui/LogoSheetDialog.h"
#include "gui/MainMenuDialog.h"
#include "gui/NetSettingDialog.h"
#include "gui/NetworkLinkDialog.h"
#include "gui/PrintToFileDialog.h"
#include "gui/SelectionDialog.h"
#include "gui/UserSetupDialog.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <fstream>

namespace korva {

namespace {

void settle(int ms = 30) {
    QElapsedTimer t;
    t.start();
    do
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    while (t.elapsed() < ms);
}

} // namespace

ScreenshotTour::ScreenshotTour(DemoPrinter& demo, std::string folder)
    : m_demo(demo), m_folder(std::move(folder)) {}

int ScreenshotTour::run(bool& ok) {
    ok = QDir().mkpath(QString::fromStdString(m_folder));
    if (!ok) {
        std::fprintf(stderr, "korvaset: cannot create %s\n", m_folder.c_str());
        return 0;
    }
    return runLanguage(0x0409, "en", ok) + runLanguage(0x0412, "ko", ok);
}

namespace {

// The firmware window over the serial port, in expert mode with a sample image chosen: as it
// opens, then while the area goes out (the title carries the percentage).
template <typename Grab>
void grabFirmwareWindow(AppContext& ctx, std::uint16_t langId, QWidget* parent, Grab& grab,
                        bool& ok) {
    QTemporaryDir folder;
    std::string image = (folder.path() + "/K40-sample.SHC").toStdString();
    {
        std::string bytes(0x800000, '\xFF');
        bytes[0x7FFFFB] = 3;
        bytes.replace(0x7FFFFC, 4, "QOLT");
        QFile file(QString::fromStdString(image));
        if (!folder.isValid() || !file.open(QIODevice::WriteOnly) ||
            file.write(bytes.data(), static_cast<qint64>(bytes.size())) !=
                static_cast<qint64>(bytes.size())) {
            std::fprintf(stderr, "korvaset: cannot write the sample firmware image\n");
            ok = false;
            return;
        }
    }
    ctx.ports.m_ReceiveMode = MainMenu::kReceiveFirmware;
    FirmwareContext context{
        ctx.ports,    ctx.socket, ctx.ethernet, ctx.log, ctx.catalogue,
        ctx.prompter, ctx.clock,  ctx.profile,  langId,  connectionSummary(ctx.ports)};
    FirmwareDialog dialog(std::move(context), true, parent);
    dialog.screen().setFile(image);
    dialog.render();
    grab(dialog, "firmware");
    dialog.downloadButton()->click();
    QElapsedTimer waited;
    waited.start();
    while (dialog.progressBar()->value() <= 0 && dialog.screen().running() &&
           waited.elapsed() < 20000)
        settle(5);
    grab(dialog, "firmware-sending");
    while (dialog.screen().running() && waited.elapsed() < 60000)
        settle(20);
    if (dialog.screen().running()) {
        std::fprintf(stderr, "korvaset: the firmware transfer did not end\n");
        ok = false;
    }
}

} // namespace

int ScreenshotTour::runLanguage(std::uint16_t langId, const std::string& suffix, bool& ok) {
    RealClock clock;
    RecordingPrompter prompter;
    DesktopApp app(clock, prompter, langId, m_demo.roots(), &m_demo);
    AppContext& ctx = app.context();
    int written = 0;
    auto grab = [&](QWidget& w, const std::string& name) {
        w.show();
        w.adjustSize();
        settle();
        QString path = QString::fromStdString(m_folder + "/" + name + "-" + suffix + ".png");
        // No window manager draws a title bar under Xvfb; draw the title above the window so
        // the picture shows it too.
        QPixmap body = w.grab();
        const int bar = 26;
        QPixmap shot(body.width(), body.height() + bar);
        shot.fill(QColor(60, 64, 72));
        {
            QPainter p(&shot);
            p.drawPixmap(0, bar, body);
            p.setPen(Qt::white);
            p.drawPixmap(5, 5, w.windowIcon().pixmap(16, 16));
            p.drawText(QRect(26, 0, body.width() - 30, bar), Qt::AlignVCenter | Qt::AlignLeft,
                       w.windowTitle());
        }
        if (shot.save(path)) {
            ++written;
            std::printf("%s\n", path.toLocal8Bit().constData());
        } else {
            std::fprintf(stderr, "korvaset: cannot write %s\n", path.toLocal8Bit().constData());
            ok = false;
        }
    };

    // Selection: as it opens (the attached USB printer preselected), then a serial model.
    auto selection = app.makeSelection();
    selection->runMenu = nullptr;
    selection->runNetwork = nullptr;
    selection->show();
    selection->initialise(langId, currentFileVersion());
    grab(*selection, "selection");
    QComboBox* device = selection->combo(SelectionScreen::Combo::Device);
    int serial = device->findText(QString::fromStdString(m_demo.model()).left(7) + "S");
    if (serial < 0)
        serial = device->findText("KORVA40S");
    if (serial >= 0) {
        selection->screen().select(SelectionScreen::Combo::Device, serial);
        selection->render();
        grab(*selection, "selection-serial");
        selection->screen().ok();
    } else {
        ok = false;
    }

    {
        MainMenuDialog menu(ctx.ports, app, langId, selection.get());
        grab(menu, "menu");
    }
    for (const char* port : {"ETHERNET_II", "WIFI"}) {
        NetworkLinkDialog network(ctx.ethernet, ctx.socket, ctx.clock, ctx.catalogue, ctx.prompter,
                                  app.wifi(), port, langId, selection.get());
        grab(network, port[0] == 'E' ? "network-ethernet" : "network-wlan");
    }
    {
        // The settings window after a search of the demo printer (on loopback), its row clicked.
        NetSettingDialog settings(ctx.catalogue, ctx.prompter, ctx.clock, ctx.log,
                                  app.netLinkOptions(), langId, selection.get());
        settings.show();
        settings.searchButton()->click();
        QElapsedTimer waited;
        waited.start();
        while (settings.screen().busy() && waited.elapsed() < 10000)
            settle(20);
        if (settings.list()->rowCount() > 0)
            settings.clickList(
                settings.list()->visualItemRect(settings.list()->item(0, 1)).center());
        else
            ok = false;
        grab(settings, "network-setting");
    }
    {
        PrintToFileDialog file(QStringLiteral("Print to File"),
                               QStringLiteral("Input the output file name"), selection.get());
        grab(file, "print-to-file");
    }

    // User setup over the serial port the selection stored, filled by Get Value; then the
    // KORVA30 family's layout with its picture.
    const int chosenKind = ctx.ports.m_ModelKind;
    for (int kind : {chosenKind, 5}) {
        ctx.ports.m_ModelKind = kind;
        ctx.ports.m_ReceiveMode = MainMenu::kReceiveUserSetup;
        UserSetupContext context{
            ctx.ports,    ctx.socket, ctx.ethernet, ctx.log,    ctx.catalogue,
            ctx.prompter, ctx.clock,  ctx.profile,  ctx.langId, connectionSummary(ctx.ports)};
        UserSetupDialog setup(std::move(context), selection.get());
        if (!setup.start()) {
            std::fprintf(stderr, "korvaset: the user setup screen did not open on %s\n",
                         ctx.ports.m_PortName.c_str());
            ok = false;
            break;
        }
        setup.screen().getValue();
        for (int i = 0; i < 60 && !setup.screen().received(0xFF); ++i) {
            setup.screen().waitForReplies(50);
            settle(5);
        }
        setup.render();
        grab(setup, kind == 5 ? "user-setup-korva30" : "user-setup");
    }
    if (ctx.ports.m_bConnected)
        ctx.ports.Close();
    ctx.ports.m_ModelKind = chosenKind; // the model chosen on the selection screen again

    // The KORVA10 firmware download window over the same serial port: as it opens, then erasing.
    {
        const int kind = ctx.ports.m_ModelKind;
        const int baud = ctx.ports.m_BaudRate;
        ctx.ports.m_ModelKind = ModelKindKorva10;
        ctx.ports.m_BaudRate = 38400; // the class has no 115200
        ctx.ports.m_ReceiveMode = MainMenu::kReceiveFirmware;
        QTemporaryDir images;
        const std::string image = images.filePath("K10.bin").toStdString();
        std::ofstream(image, std::ios::binary) << std::string(0x200000, '\xFF');
        Korva10FirmwareDialog firmware(
            Korva10FirmwareContext{ctx.ports, ctx.log, ctx.catalogue, prompter, ctx.clock,
                                   ctx.profile, ctx.langId, connectionSummary(ctx.ports)},
            selection.get());
        firmware.screen().setFile(image);
        firmware.render();
        grab(firmware, "korva10-firmware");
        firmware.okButton()->click();
        settle(1300); // two of the six erase waits
        grab(firmware, "korva10-firmware-erasing");
        firmware.cancelButton()->click();
        ctx.ports.m_ModelKind = kind;
        ctx.ports.m_BaudRate = baud;
    }

    // The logo tool over the same serial port, with the demo's sample logos listed: each page,
    // then an upload and a print of three images caught mid-way, then the printed paper.
    ctx.ports.m_ReceiveMode = MainMenu::kReceiveLogo;
    LogoContext logo{ctx.ports,     ctx.socket, ctx.ethernet, ctx.log,
                     ctx.catalogue, prompter,   ctx.clock,    ctx.ports.m_ModelKind};
    LogoSheetDialog sheet(logo, ctx.profile, ctx.ports.m_PortName, connectionSummary(ctx.ports),
                          langId, selection.get());
    sheet.show();
    // Both languages show the same three samples, whatever an earlier run left in the profile.
    sheet.sheet().list().ResetList();
    sheet.sheet().addFiles(m_demo.sampleLogos());
    sheet.sheet().list().selectedRow = 0;
    sheet.render(); // the rows' check boxes exist from here on
    if (QCheckBox* centre = sheet.selectionPage()->block.list->checkBox(2))
        centre->click();
    const char* pages[] = {"logo-select", "logo-preview", "logo-upload", "logo-print",
                           "logo-setup"};
    for (int page : {0, 1, 2, 3, 4}) {
        sheet.tabs()->setCurrentIndex(page);
        grab(sheet, pages[page]);
    }
    // A transfer window is caught once its progress has moved.
    auto catchTransfer = [&](const char* name, const char* marker) {
        sheet.onTransferShown = [&grab, name, marker](LogoProgressDialog& window) {
            auto* poll = new QTimer(&window);
            QObject::connect(poll, &QTimer::timeout, &window, [&grab, &window, poll, name, marker] {
                if (!window.statusLabel()->text().startsWith(marker) ||
                    window.progressBar()->value() <= 0)
                    return;
                poll->stop();
                grab(window, name);
            });
            poll->start(5);
        };
    };
    sheet.tabs()->setCurrentIndex(LogoSheetDialog::UploadPage);
    prompter.queueAnswer(Answer::Yes); // "All bit image files are written ..."
    catchTransfer("logo-uploading", "Updating");
    sheet.uploadPage()->upload->click();
    sheet.tabs()->setCurrentIndex(LogoSheetDialog::PrintPage);
    sheet.printPageWidget()->selection->click();
    sheet.printPageWidget()->selectionText->setText("1-3");
    emit sheet.printPageWidget()->selectionText->textEdited("1-3");
    catchTransfer("logo-printing", "Printing");
    sheet.printPageWidget()->print->click();
    sheet.onTransferShown = nullptr;
    sheet.hide();
    if (ctx.ports.m_bConnected)
        ctx.ports.Close();

    // Last, since the printer switches itself off after a firmware frame.
    ctx.ports.m_ModelKind = modelKind(m_demo.model());
    grabFirmwareWindow(ctx, langId, selection.get(), grab, ok);
    if (DemoPaper* paper = app.demoPaper()) {
        for (int i = 0; i < 100 && paper->refresh() < 3; ++i)
            settle(20);
        grab(*paper, "demo-paper");
    }
    return written;
}

} // namespace korva
