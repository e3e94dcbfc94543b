#include "dialogs/LevellingSwitchAction.h"

#include <QAction>
#include <QMenu>

#include "base/PassEvent.h"
#include "dialogs/MainWindow.h"

QAction* addLevellingSwitch(MainWindow& window, bool on, std::function<void(bool)> onToggle) {
    QAction* info = window.menuAction(MenuInfo);
    if (!info)
        return nullptr;
    QMenu* extras = nullptr;
    for (QObject* o : info->associatedObjects())
        if ((extras = qobject_cast<QMenu*>(o)))
            break;
    if (!extras)
        return nullptr;
    QAction* a = new QAction(QStringLiteral("Lautstärke &angleichen"), extras);
    a->setCheckable(true);
    a->setChecked(on);
    extras->insertAction(info, a);
    QObject::connect(a, &QAction::toggled, extras, [onToggle = std::move(onToggle)](bool checked) {
        if (onToggle) onToggle(checked);
    });
    return a;
}
