// dsp-v36: the desktop control program of the V36 unit.
#include <QApplication>
#include <QCommandLineParser>

#include "app/app.h"
#include "app/icons.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("dsp-v36"));
    QApplication::setApplicationVersion(QStringLiteral("1.0.1"));
    QApplication::setWindowIcon(v36::applicationIcon());

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Control program of the V36 DSP unit"));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption simulate(QStringLiteral("simulate"),
                                      QStringLiteral("Run on the virtual unit, without hardware."));
    parser.addOption(simulate);
    const QCommandLineOption debugTrace(
        QStringLiteral("debug-trace"),
        QStringLiteral("Write the link's debug traces to standard error."));
    parser.addOption(debugTrace);
    parser.addPositionalArgument(QStringLiteral("file"),
                                 QStringLiteral("A mode file (.ev36) to open at start."), "[file]");
    parser.process(application);

    v36::AppOptions options;
    options.simulate = parser.isSet(simulate);
    options.debugTrace = parser.isSet(debugTrace);
    if (!parser.positionalArguments().isEmpty())
        options.openFile = parser.positionalArguments().first();
    if (options.simulate) {
        // The virtual unit keeps no traffic log in a long run.
        options.virtualUnit.recording = false;
    }

    v36::CKorvelv13App app(std::move(options));
    if (!app.InitInstance()) return 0;
    return QApplication::exec();
}
