// korvaset: the desktop program. The printer and port selection screen is the main window; the
// main menu, the network screen and the tools open over it.
//
//   korvaset                      run against the printers attached to this PC
//   korvaset --demo               run against a virtual printer inside the program
//   korvaset --demo --screenshots DIR   grab every screen in both languages to DIR and exit
//   korvaset --version            print the name and version and exit
// Options it does not know are ignored, with a note on standard error.
#include "base/Clock.h"
#include "base/FileVersion.h"
#include "base/Language.h"
#include "gui/AppIcon.h"
#include "gui/DemoPrinter.h"
#include "gui/DesktopApp.h"
#include "gui/QtPrompter.h"
#include "gui/ScreenshotTour.h"

#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>
#include <memory>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KORVASet"));
    QApplication::setWindowIcon(korva::appIcon());

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("KORVASet - service utility for KORVA receipt printers"));
    parser.addHelpOption();
    QCommandLineOption demo(QStringLiteral("demo"),
                            QStringLiteral("Run against a virtual printer inside the program."));
    QCommandLineOption demoModel(QStringLiteral("demo-model"),
                                 QStringLiteral("Model the virtual printer impersonates."),
                                 QStringLiteral("NAME"), QStringLiteral("KORVA40U-II"));
    QCommandLineOption screenshots(
        QStringLiteral("screenshots"),
        QStringLiteral("With --demo: save every screen in both languages to DIR and exit."),
        QStringLiteral("DIR"));
    QCommandLineOption printout(
        QStringLiteral("printout"),
        QStringLiteral(
            "With --demo: keep the virtual printer's pictures (NV images, prints) in DIR."),
        QStringLiteral("DIR"));
    QCommandLineOption sysfs(QStringLiteral("sysfs"),
                             QStringLiteral("sysfs root for discovery (default /sys)."),
                             QStringLiteral("DIR"), QStringLiteral("/sys"));
    QCommandLineOption dev(QStringLiteral("dev"),
                           QStringLiteral("Device-node root for discovery (default /dev)."),
                           QStringLiteral("DIR"), QStringLiteral("/dev"));
    QCommandLineOption version(QStringLiteral("version"),
                               QStringLiteral("Print the program's name and version and exit."));
    parser.addOptions({demo, demoModel, screenshots, printout, sysfs, dev, version});
    // Options the program does not know are passed over with a note, as every option the
    // program does not name is; only a known option used wrongly stops it.
    QStringList arguments = app.arguments();
    if (!parser.parse(arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        QStringList kept;
        for (const QString& argument : arguments) {
            QString name = argument;
            while (name.startsWith('-'))
                name.remove(0, 1);
            name = name.section('=', 0, 0);
            bool drop = argument.startsWith('-') && !name.isEmpty() && unknown.contains(name);
            if (argument.startsWith('-') && !argument.startsWith(QStringLiteral("--")))
                for (QChar letter : name)
                    drop = drop || unknown.contains(QString(letter));
            if (!drop)
                kept << argument;
        }
        for (const QString& name : unknown)
            std::fprintf(stderr, "korvaset: ignoring the unknown option %s\n", qPrintable(name));
        arguments = kept;
        if (!parser.parse(arguments)) {
            std::fprintf(stderr, "korvaset: %s\n", qPrintable(parser.errorText()));
            return 1;
        }
    }
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parser.isSet(version)) {
        std::printf("korvaset %s\n", korva::dottedVersion(korva::currentFileVersion()).c_str());
        return 0;
    }

    std::unique_ptr<korva::DemoPrinter> printer;
    korva::DeviceRoots roots{parser.value(sysfs).toStdString(), parser.value(dev).toStdString()};
    if (parser.isSet(demo) || parser.isSet(screenshots)) {
        printer = std::make_unique<korva::DemoPrinter>();
        std::string error;
        if (!printer->start(parser.value(demoModel).toStdString(), error,
                            parser.value(printout).toStdString())) {
            std::fprintf(stderr, "korvaset: the demo printer did not start: %s\n", error.c_str());
            return 1;
        }
        roots = printer->roots();
    }

    if (parser.isSet(screenshots)) {
        korva::ScreenshotTour tour(*printer, parser.value(screenshots).toStdString());
        bool ok = true;
        int files = tour.run(ok);
        return ok && files > 0 ? 0 : 1;
    }

    const std::uint16_t langId = korva::systemLanguageId();
    korva::RealClock clock;
    korva::QtPrompter prompter(korva::isKorean(langId));
    if (printer) {
        prompter.setStartFolder(printer->logoFolder());
        std::printf("korvaset: demo printer %s; sample logos in %s; its printout in %s\n",
                    printer->model().c_str(), printer->logoFolder().c_str(),
                    printer->printoutFolder().c_str());
        std::fflush(stdout);
    }
    korva::DesktopApp desktop(clock, prompter, langId, roots, printer.get());
    return desktop.run();
}
