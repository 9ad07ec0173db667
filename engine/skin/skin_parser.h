#pragma once
// Reading skin files (JSON, UTF-8; format in docs/skin-format.md) into a
// SkinDocument. Strict: unknown keys, wrong types, bad colours, bad images,
// duplicate names and rectangles outside their form are all errors. Throws
// EngineError whose message names the file and the problem. Any thread, but
// the images it decodes are QImages, so the UI thread is the usual caller.

#include "skin/skin_model.h"

#include <QByteArray>
#include <QString>
#include <memory>

// source names the file in messages.
std::shared_ptr<const SkinDocument> parse_skin(const QByteArray &json, const QString &source);

// Reads and parses the file at path (missing or unreadable: EngineError).
std::shared_ptr<const SkinDocument> load_skin_file(const QString &path);
