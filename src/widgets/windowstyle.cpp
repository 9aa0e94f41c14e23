#include "windowstyle.h"

#include "palette.h"
#include "shellicon.h"
#include "text/fonts.h"

#include <QComboBox>
#include <QFont>
#include <QPalette>
#include <QStandardItemModel>
#include <QWidget>

namespace {

const char *const windowStyle = R"(
QPushButton {
    background: #FFFFFF; color: #2B3642; border: 1px solid #C9D3DE; border-radius: 6px;
    padding: 0 10px;
}
QPushButton:hover { background: #F3F7FC; border-color: #A9B8C8; }
QPushButton:pressed { background: #E8F1FD; }
QPushButton:disabled { color: #A8B2BD; border-color: #E0E6EC; background: #FAFBFC; }
QPushButton[accent="true"] { background: #2F7BEA; color: white; border: 1px solid #2F7BEA; }
QPushButton[accent="true"]:hover { background: #2A70D6; }
QPushButton[accent="true"]:pressed { background: #1F62C4; }
QComboBox {
    background: white; border: 1px solid #C9D3DE; border-radius: 5px; padding: 1px 6px;
    color: #2B3642;
}
QComboBox:hover { border-color: #A9B8C8; }
QComboBox::drop-down { border: none; width: 18px; }
QComboBox::down-arrow { image: url(:/shell/icons/chevron.svg); width: 10px; height: 10px; }
QComboBox QAbstractItemView {
    background: white; border: 1px solid #C9D3DE; selection-background-color: #E8F1FD;
    selection-color: #1F62C4; outline: 0;
}
QLineEdit {
    background: white; border: 1px solid #C9D3DE; border-radius: 6px; padding: 0 8px;
    color: #1E2A36; selection-background-color: #F6C453; selection-color: #1E2A36;
}
QLineEdit:focus { border: 1px solid #2F7BEA; }
QToolTip { background: white; color: #2B3642; border: 1px solid #C9D3DE; }
QMessageBox { background: white; }
QMessageBox QLabel { color: #22303C; }
QMessageBox QPushButton { min-width: 76px; min-height: 26px; }
QDialogButtonBox { dialogbuttonbox-buttons-have-icons: 0; }
)";

} // namespace

QString windowStyleSheet() {
    return QString::fromLatin1(windowStyle);
}

QStandardItem *markNotInstalled(QComboBox *list, int index) {
    auto *model = qobject_cast<QStandardItemModel *>(list->model());
    QStandardItem *item = model ? model->item(index) : nullptr;
    if (item) {
        item->setForeground(Palette::quietText());
        item->setData(QStringLiteral("未安装"), Qt::AccessibleDescriptionRole);
        item->setToolTip(QStringLiteral("未安装"));
    }
    return item;
}

void styleDialog(QWidget *dialog, const char *ownStyle) {
    QFont font = labelFont();
    font.setPixelSize(13);
    dialog->setFont(font);
    QPalette pal = dialog->palette();
    pal.setColor(QPalette::Window, Qt::white);
    dialog->setPalette(pal);
    loadShellIcons();
    dialog->setStyleSheet(windowStyleSheet() + QString::fromLatin1(ownStyle));
}
