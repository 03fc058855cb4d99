#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace v36 {

// Texts of the shell's message boxes in the window's language. The Chinese
// texts are the unit's own; the English ones stand beside them.

// The caption of a Yes/No question ("提示").
QString questionCaption(int languageIndex);
// The caption of an error box ("错误").
QString errorCaption(int languageIndex);

// The unit's parameter error as the dispatcher words it (in Chinese, with
// the error code and the two command bytes), in the window's language.
QString parameterErrorMessage(int languageIndex, std::string_view unitText);

// Why the unit at `path` is present but may not be opened; `message` is
// the link's own (English) account of it.
QString permissionDeniedText(int languageIndex, const QString& path, const QString& message);

}  // namespace v36
