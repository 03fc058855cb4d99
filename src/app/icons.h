#pragma once

#include <QIcon>
#include <QPixmap>

namespace v36 {

// The shell's pictures, drawn with vectors so that they stay sharp.
enum class ShellPicture {
    ApplicationButton,  // 45 x 45
    LoadMode,           // 32 x 32
    SaveMode,           // 32 x 32
    LoadFile,           // 16 x 16
    SaveFile,           // 16 x 16
    About,              // 16 x 16
    Exit,               // 16 x 16
    Information,        // 32 x 32, the notice's picture
};

QPixmap shellPixmap(ShellPicture picture, int size, qreal devicePixelRatio = 1.0);
QIcon shellIcon(ShellPicture picture, int size);
// The application's icon (window, tray).
QIcon applicationIcon();

}  // namespace v36
