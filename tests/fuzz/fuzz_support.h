#pragma once
// What the fuzz entries share: a private scratch folder on a memory disk, so
// that the fsyncs of the code under test cost nothing, and the input written
// there as a file.

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>

namespace fuzz
{

// A folder of this process's own, made on first use and kept for its life.
QString scratch_folder();

// Writes data into the scratch folder under name; the full path.
QString write_input(const QString &name, const uint8_t *data, size_t size);

// The Qt application an entry needs (QCoreApplication, QGuiApplication),
// made on the first call and kept for the process's life.
template <class Application> void start_application(const char *name)
{
    static int argc = 1;
    static QByteArray program(name);
    static char *argv[] = {program.data(), nullptr};
    static Application app(argc, argv);
}

} // namespace fuzz
