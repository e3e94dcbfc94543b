#include "dialogs/ProgramIcon.h"

QIcon programIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128})
        icon.addFile(QStringLiteral(":/kalvo2/icons/kalvo2-%1.png").arg(size), QSize(size, size));
    return icon;
}
