// The SCPI server, or a script, on the fake instrument, for clients written
// in other languages:
//   scpi_test_server [--scpi-port N] [--script FILE|-]
// With --scpi-port (0: a free one) it serves until killed; with only --script it
// ends when the script does, with status 1 if a line failed.
#include "FakeInstrument.h"
#include "scpi/ScpiServer.h"
#include "scpi/ScriptRunner.h"

#include <QCoreApplication>

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::optional<int> port;
    const char* script = nullptr;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--scpi-port") == 0) port = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--script") == 0) script = argv[i + 1];
    }
    if (!port && !script) port = 0;

    FakeInstrument fake;
    scpi::ScpiServer server(fake);
    if (port && !server.listen(static_cast<quint16>(*port))) {
        std::cerr << "scpi_test_server: " << server.errorString().toStdString() << std::endl;
        return 2;
    }
    scpi::ScriptRunner runner(fake, script ? script : "");
    if (script) {
        QObject::connect(&runner, &scpi::ScriptRunner::finished, &app, [&](bool failed) {
            if (!port) app.exit(failed ? 1 : 0);
        });
        runner.start();
    }
    return app.exec();
}
