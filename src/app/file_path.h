#pragma once

#include <QString>
#include <filesystem>

#include "protocol/mode_file.h"

namespace v36 {

// The path of a file name the user chose or typed: Qt's names are Unicode,
// and the core turns UTF-8 into a path that keeps every character on every
// system.
inline std::filesystem::path filePath(const QString& name) {
    return pathFromText(name.toStdString());
}

}  // namespace v36
