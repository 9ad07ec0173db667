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

} // namespace fuzz
