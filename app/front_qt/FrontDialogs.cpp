#include "FrontDialogs.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>

#include "FrontText.h"
#include "WindowLayout.h"

TCardMenu::TCardMenu(QWidget* window, const std::function<void(brelka::CardMenuItem)>& handler)
    : QObject(window), bar_(new QMenuBar(window)) {
    bar_->setObjectName(QStringLiteral("MenuBar"));
    bar_->setNativeMenuBar(false);
    bar_->setFont(QApplication::font());
    QMenu* menu = bar_->addMenu(QString::fromUtf8(brelka::layout::kCardMenuTitle));
    menu->setObjectName(QStringLiteral("CardMenu"));
    for (const brelka::layout::MenuEntry& entry : brelka::layout::CardMenu()) {
        if (entry.separatorBefore) menu->addSeparator();
        QAction* action = menu->addAction(QString::fromUtf8(entry.caption));
        QList<QKeySequence> keys;
        if (entry.shortcut) keys << QKeySequence(QString::fromLatin1(entry.shortcut));
        if (entry.alternativeShortcut)
            keys << QKeySequence(QString::fromLatin1(entry.alternativeShortcut));
        action->setShortcuts(keys);
        const brelka::CardMenuItem item = entry.item;
        connect(action, &QAction::triggered, this, [handler, item] { handler(item); });
        actions_[static_cast<size_t>(item)] = action;
    }
}

void TCardMenu::SetItem(brelka::CardMenuItem item, const std::string& text, bool enabled) {
    QAction* action = Action(item);
    action->setText(QString::fromStdString(text));
    action->setEnabled(enabled);
}

QAction* TCardMenu::Action(brelka::CardMenuItem item) const {
    return actions_[static_cast<size_t>(item)];
}

bool TCardMenu::IsShortcut(const QEvent* e) const {
    if (e->type() != QEvent::ShortcutOverride && e->type() != QEvent::KeyPress) return false;
    const QKeySequence typed(static_cast<const QKeyEvent*>(e)->keyCombination());
    for (const QAction* action : actions_)
        if (action->shortcuts().contains(typed)) return true;
    return false;
}

void TCardMenu::LeaveShortcutsToMenu(QWidget* field) {
    field->installEventFilter(this);
}

bool TCardMenu::eventFilter(QObject* watched, QEvent* e) {
    // Not taken by the field, the key goes on to the window's shortcuts.
    if (e->type() == QEvent::ShortcutOverride && IsShortcut(e)) {
        e->ignore();
        return true;
    }
    return QObject::eventFilter(watched, e);
}

QStringList NameFilters(brelka::layout::Rows<brelka::layout::FileFilter> filters) {
    QStringList list;
    for (const brelka::layout::FileFilter& f : filters)
        list << QString::fromUtf8(f.caption) + QStringLiteral(" (") +
                    QString::fromUtf8(f.patterns).replace(QLatin1Char(';'), QLatin1Char(' ')) +
                    QStringLiteral(")");
    return list;
}

void ShowMessageBox(QWidget* parent, const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, QGuiApplication::applicationDisplayName(),
                    QString::fromStdString(text), QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("JobMessage"));
    box.exec();
}

bool AskYesNoBox(QWidget* parent, const std::string& text) {
    QMessageBox box(QMessageBox::Question, QGuiApplication::applicationDisplayName(),
                    QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No, parent);
    box.setObjectName(QStringLiteral("Question"));
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

bool ChooseFolderIn(QWidget* parent, const std::string& title, std::string& folder) {
    QFileDialog dialog(parent, QString::fromStdString(title));
    dialog.setObjectName(QStringLiteral("OtherFolder"));
    if (!folder.empty()) dialog.setDirectory(DisplayPath(folder));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    return RunFileDialog(&dialog, folder);
}

QFileDialog* MakeSaveDialog(QWidget* parent) {
    auto* dialog = new QFileDialog(parent);
    dialog->setObjectName(QStringLiteral("SaveDialog"));
    dialog->setOption(QFileDialog::HideNameFilterDetails, true);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setNameFilters(NameFilters(brelka::layout::SaveFilters()));
    dialog->setDefaultSuffix(QString::fromUtf8(brelka::layout::kDefaultExtension));
    dialog->setOption(QFileDialog::DontConfirmOverwrite, false);
    dialog->setSizeGripEnabled(true);
    return dialog;
}

bool RunFileDialog(QFileDialog* dialog, std::string& path) {
    if (dialog->exec() != QDialog::Accepted) return false;
    const QStringList chosen = dialog->selectedFiles();
    if (chosen.isEmpty()) return false;
    path = LocalPath(chosen.first());
    return true;
}
