// dsp-v36: the desktop control program of the V36 unit.
#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QStringList>
#include <cstdio>
#include <filesystem>

#include "app/app.h"
#include "app/file_path.h"
#include "app/icons.h"
#include "build_info.h"
#include "pages/factories.h"
#include "protocol/mode_file.h"
#include "sim/virtual_units.h"

namespace {

QStringList argumentList(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication::setApplicationName(QStringLiteral("dsp-v36"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(v36::kVersion));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Control program of the V36 DSP unit"));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption simulate(QStringLiteral("simulate"),
                                      QStringLiteral("Run on the virtual unit, without hardware."));
    parser.addOption(simulate);
    const QCommandLineOption debugTrace(
        QStringLiteral("debug-trace"),
        QStringLiteral("Write the link's debug traces to standard error."));
    parser.addOption(debugTrace);
    const QCommandLineOption simLatency(
        QStringLiteral("sim-latency"),
        QStringLiteral("The virtual unit's time from a report to its answer."),
        QStringLiteral("MS"));
    parser.addOption(simLatency);
    const QCommandLineOption simFault(
        QStringLiteral("sim-fault"),
        QStringLiteral("A fault of the virtual unit: silent, drop=PERCENT, garbage=PERCENT, "
                       "unplug-after=N, model=TEXT or protocol=N; N:KIND for unit N only "
                       "(repeatable)."),
        QStringLiteral("KIND"));
    parser.addOption(simFault);
    const QCommandLineOption simState(
        QStringLiteral("sim-state"),
        QStringLiteral("Start the virtual unit from a mode file (.ev36)."), QStringLiteral("FILE"));
    parser.addOption(simState);
    const QCommandLineOption simUnits(
        QStringLiteral("sim-units"),
        QStringLiteral("Start this many virtual units (1..64), serials SIM0001 on; a fault "
                       "N:KIND goes to unit N only."),
        QStringLiteral("N"));
    parser.addOption(simUnits);
    parser.addPositionalArgument(QStringLiteral("file"),
                                 QStringLiteral("A mode file (.ev36) to open at start."), "[file]");

    // The version and the help are answered before any window system is
    // opened, so that they work without a display. Errors in the command line
    // wait for the full parse below, once Qt has taken its own options out.
    parser.parse(argumentList(argc, argv));
    if (parser.isSet(version)) parser.showVersion();
    if (parser.isSet(help) || parser.optionNames().contains(QStringLiteral("help-all"))) {
        const QCoreApplication console(argc, argv);
        if (parser.isSet(help)) parser.showHelp();
        parser.process(console);
    }

    QApplication application(argc, argv);
    QGuiApplication::setDesktopFileName(QString::fromLatin1(v36::kAppId));
    QApplication::setWindowIcon(v36::applicationIcon());
    parser.process(application);

    v36::AppOptions options;
    options.factories = v36::pageFactories();
    options.simulate = parser.isSet(simulate);
    options.debugTrace = parser.isSet(debugTrace);
    if (!parser.positionalArguments().isEmpty())
        options.openFile = parser.positionalArguments().first();
    // The virtual unit's behaviour; a fault without --simulate means it.
    QStringList simErrors;
    if (parser.isSet(simLatency)) {
        const std::string error =
            v36::applySimLatency(options.virtualUnit, parser.value(simLatency).toStdString());
        if (!error.empty()) simErrors.append(QString::fromStdString(error));
        options.simulate = true;
    }
    int unitCount = 1;
    if (parser.isSet(simUnits)) {
        const std::string error =
            v36::parseSimUnits(parser.value(simUnits).toStdString(), unitCount);
        if (!error.empty())
            simErrors.append(QStringLiteral("--sim-units: ") + QString::fromStdString(error));
        options.simulate = true;
    }
    if (parser.isSet(simState)) {
        v36::ParamStore state;
        state.resetToDefaults();
        const v36::FileResult loaded =
            v36::loadModeFile(state, v36::filePath(parser.value(simState)));
        if (loaded) {
            options.virtualUnit.startState = v36::captureModeImage(state);
        } else {
            simErrors.append(QStringLiteral("--sim-state: ") +
                             QString::fromStdString(loaded.error.detail));
        }
        options.simulate = true;
    }
    // The faults go to every unit, or as N:KIND to unit N.
    std::vector<v36::VirtualUnitConfig> units =
        v36::virtualUnitConfigs(unitCount, options.virtualUnit);
    for (const QString& fault : parser.values(simFault)) {
        const std::string error = v36::applySimFault(units, fault.toStdString());
        if (!error.empty()) simErrors.append(QString::fromStdString(error));
        options.simulate = true;
    }
    if (unitCount > 1) {
        options.virtualUnits = std::move(units);
    } else {
        options.virtualUnit = units.front();
    }
    if (!simErrors.isEmpty()) {
        for (const QString& e : simErrors)
            std::fprintf(stderr, "dsp-v36: %s\n", qPrintable(e));
        return 2;
    }
    if (options.simulate) {
        // The virtual unit keeps no traffic log in a long run.
        options.virtualUnit.recording = false;
        for (v36::VirtualUnitConfig& unit : options.virtualUnits)
            unit.recording = false;
    }

    v36::CKorvelv13App app(std::move(options));
    if (!app.InitInstance()) return 0;
    return QApplication::exec();
}
