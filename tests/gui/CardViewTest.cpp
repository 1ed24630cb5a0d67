// The card view and the Card menu through the real windows: drops from the file manager onto a
// row and onto the main window, a row dragged onto another, the row commands by their keys,
// undo and redo by the menus' shortcuts, and the Import Options dialog.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDropEvent>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "Card.h"
#include "CardView.h"
#include "FrontDialogs.h"
#include "GuiTestSupport.h"
#include "ImportOptionsDialog.h"
#include "MainWin.h"
#include "SampleFile.h"
#include "WindowLayout.h"

using brelka::CardMenuItem;
using guitest::RunWithModals;
using testsupport::ReadBytes;
using testsupport::TempDir;

namespace {

// A decaying tone: a drum hit's shape, with a peak of `peak`.
std::vector<int16_t> Hit(size_t count, double period, int peak) {
    std::vector<int16_t> v(count);
    const double n = static_cast<double>(count);
    for (size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i);
        v[i] = static_cast<int16_t>(
            std::lround(peak * std::exp(-4.0 * t / n) * std::sin(2 * M_PI * t / period)));
    }
    return v;
}

class CardViewTest : public ::testing::Test {
  protected:
    void SetUp() override { Create(false); }
    void Create(bool slow) {
        win.reset(slow ? new guitest::SlowMainWin() : new TMainWin());
        win->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(win.get()));
        guitest::ChooseFolder(*win, card.path());
    }
    void TearDown() override { win.reset(); }

    // Opens the card view with the main window's shortcut.
    TCardView* OpenView() {
        Activate(win.get());
        QTest::keyClick(win->SampleList->lineEdit(), Qt::Key_K, Qt::ControlModifier);
        TCardView* view = win->CardView();
        if (!view) {
            ADD_FAILURE() << "Ctrl+K made no card view";
            return nullptr;
        }
        EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == view; }));
        return view;
    }
    // The window takes the keyboard, as after the user's click on it (a dialog just closed
    // may still count as the active window).
    static void Activate(QWidget* window) {
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == window; }));
    }
    // A WAV file at the card's rate in the sources folder.
    std::string Source(const std::string& name, const std::vector<int16_t>& samples) {
        std::string path = sources.file(name);
        guitest::WriteWav(path, 1, 31250, samples);
        return path;
    }
    // What a file manager's drop does: enter, move and drop at a point of the widget. Files
    // come with Shift held, as the user asks a file manager to move them: they are taken as a
    // copy all the same, so the file manager removes nothing.
    static void Drop(QWidget* target, const QPoint& pos, QMimeData* data) {
        const Qt::KeyboardModifiers keys = data->hasUrls() ? Qt::ShiftModifier : Qt::NoModifier;
        const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
        QDragEnterEvent enter(pos, offered, data, Qt::LeftButton, keys);
        QApplication::sendEvent(target, &enter);
        QDragMoveEvent move(pos, offered, data, Qt::LeftButton, keys);
        QApplication::sendEvent(target, &move);
        QDropEvent drop(pos, offered, data, Qt::LeftButton, keys);
        QApplication::sendEvent(target, &drop);
        EXPECT_TRUE(drop.isAccepted());
        if (data->hasUrls()) {
            EXPECT_EQ(drop.proposedAction(), Qt::MoveAction);
            EXPECT_EQ(drop.dropAction(), Qt::CopyAction);
        }
    }
    static QMimeData* Files(const std::vector<std::string>& paths) {
        auto* data = new QMimeData;
        QList<QUrl> urls;
        for (const std::string& p : paths)
            urls << QUrl::fromLocalFile(QString::fromStdString(p));
        data->setUrls(urls);
        return data;
    }
    QPoint RowPoint(int slot) const {
        TCardTable* table = win->CardView()->Table;
        table->scrollToItem(table->item(slot - 1, 0));
        return table->visualItemRect(table->item(slot - 1, 1)).center();
    }
    void DropOnRow(int slot, const std::vector<std::string>& paths) {
        const std::unique_ptr<QMimeData> data(Files(paths));
        Drop(win->CardView()->Table->viewport(), RowPoint(slot), data.get());
    }
    void ClickRow(int slot) {
        QTest::mouseClick(win->CardView()->Table->viewport(), Qt::LeftButton, {}, RowPoint(slot));
    }
    // Presses on a row and drops what the view drags onto another row.
    void DragRow(int from, int to) {
        TCardTable* table = win->CardView()->Table;
        ClickRow(from);
        const std::unique_ptr<QMimeData> data(
            table->model()->mimeData(table->selectionModel()->selectedIndexes()));
        ASSERT_NE(data, nullptr);
        Drop(table->viewport(), RowPoint(to), data.get());
    }
    // The slot holds the samples, then the silence that fills its last block.
    void ExpectSlotHolds(int slot, const std::vector<int16_t>& samples) const {
        SCOPED_TRACE(slot);
        std::vector<int16_t> held = guitest::ReadSlotSamples(Slot(slot));
        ASSERT_GE(held.size(), samples.size());
        EXPECT_TRUE(std::all_of(held.begin() + static_cast<ptrdiff_t>(samples.size()), held.end(),
                                [](int16_t s) { return s == 0; }));
        held.resize(samples.size());
        EXPECT_EQ(held, samples);
    }
    QString Name(int slot) const { return win->CardView()->Table->item(slot - 1, 1)->text(); }
    std::string Slot(int slot) const { return brelka::SlotFileName(card.path(), slot); }
    QStringList SlotItems() const {
        QStringList items;
        for (int i = 0; i < win->SampleList->count(); ++i)
            items << win->SampleList->itemText(i);
        items.sort();
        return items;
    }
    QAction* MenuAction(TCardMenu* menu, CardMenuItem item) { return menu->Action(item); }

    TempDir card, sources;
    std::unique_ptr<TMainWin> win;
};

TEST_F(CardViewTest, DropsDragsAndRowCommandsChangeTheCardAndBothWindowsFollow) {
    TCardView* view = OpenView();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->windowTitle().toStdString(), brelka::layout::kCardViewCaption);
    EXPECT_EQ(view->size(),
              QSize(brelka::layout::kCardViewSize.width, brelka::layout::kCardViewSize.height));
    ASSERT_EQ(view->Table->rowCount(), 60);
    EXPECT_EQ(Name(37), "(empty)");
    EXPECT_FALSE(view->FolderBtn->isVisible());

    // Three files onto row 05: 05-07 in name order, named after them.
    const std::vector<int16_t> hat = Hit(3125, 9, 9000), kick = Hit(9375, 60, 30000),
                               snare = Hit(6250, 23, 20000);
    DropOnRow(5, {Source("snare.wav", snare), Source("hat.wav", hat), Source("kick.wav", kick)});
    EXPECT_EQ(Name(5), "hat");
    EXPECT_EQ(Name(6), "kick");
    EXPECT_EQ(Name(7), "snare");
    ExpectSlotHolds(5, hat);
    ExpectSlotHolds(6, kick);
    ExpectSlotHolds(7, snare);
    EXPECT_EQ(view->Table->item(5, 2)->text().toStdString(), brelka::SlotLengthText(Slot(6)));
    ASSERT_EQ(view->Row(6).high.size(), static_cast<size_t>(brelka::layout::kThumbnailColumns));
    EXPECT_EQ(*std::max_element(view->Row(6).high.begin(), view->Row(6).high.end()),
              *std::max_element(kick.begin(), kick.end()));
    EXPECT_EQ(SlotItems(), QStringList({"05", "06", "07"}));
    EXPECT_EQ(win->SampleList->currentText(), "05");
    EXPECT_EQ(view->SelectedSlots(), std::vector<int>{5});

    // Row 05 onto the empty 20: a move, the name with it; the main window's 05 is empty now.
    const std::vector<uint8_t> hatBytes = ReadBytes(Slot(5)), kickBytes = ReadBytes(Slot(6));
    DragRow(5, 20);
    EXPECT_FALSE(testsupport::FileExists(Slot(5)));
    EXPECT_EQ(ReadBytes(Slot(20)), hatBytes);
    EXPECT_EQ(Name(5), "(empty)");
    EXPECT_EQ(Name(20), "hat");
    EXPECT_EQ(SlotItems(), QStringList({"06", "07", "20"}));
    EXPECT_EQ(win->LenLabel->text(), "---:--:---");
    // Row 06 onto the used 20: a swap.
    DragRow(6, 20);
    EXPECT_EQ(ReadBytes(Slot(6)), hatBytes);
    EXPECT_EQ(ReadBytes(Slot(20)), kickBytes);
    EXPECT_EQ(Name(6), "hat");
    EXPECT_EQ(Name(20), "kick");
    // A row dragged from another copy of the program is no row of this card.
    QMimeData foreign;
    foreign.setData(QString::fromLatin1(TCardTable::kSlotMimeType), "1:1:6");
    QDragEnterEvent enter(RowPoint(30), Qt::MoveAction, &foreign, Qt::LeftButton, {});
    QApplication::sendEvent(view->Table->viewport(), &enter);
    EXPECT_FALSE(enter.isAccepted());

    // Del asks first: No keeps the slot, Yes clears it.
    ClickRow(7);
    QString question;
    RunWithModals([&] { QTest::keyClick(view->Table, Qt::Key_Delete); }, {[&](QWidget* box) {
                      auto* mb = qobject_cast<QMessageBox*>(box);
                      ASSERT_NE(mb, nullptr);
                      question = mb->text();
                      EXPECT_EQ(mb->defaultButton(), mb->button(QMessageBox::No));
                      mb->button(QMessageBox::No)->click();
                  }});
    EXPECT_TRUE(question.contains(QStringLiteral("07"))) << question.toStdString();
    EXPECT_EQ(Name(7), "snare");
    RunWithModals([&] { QTest::keyClick(view->Table, Qt::Key_Delete); }, {[&](QWidget* box) {
                      qobject_cast<QMessageBox*>(box)->button(QMessageBox::Yes)->click();
                  }});
    EXPECT_FALSE(testsupport::FileExists(Slot(7)));
    EXPECT_EQ(Name(7), "(empty)");

    // F2 edits the name in place; Enter confirms it.
    ClickRow(20);
    QTest::keyClick(view->Table, Qt::Key_F2);
    auto* editor = view->Table->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), "kick");
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("Kick 808 "));
    editor->insert(QStringLiteral("\u00e9")); // as an input method gives it
    QTest::keyClick(editor, Qt::Key_Return);
    guitest::SpinEventLoop(20);
    EXPECT_EQ(Name(20), QStringLiteral("Kick 808 \u00e9"));
    EXPECT_EQ(brelka::ScanCard(card.path(), 0).slots[19].name, "Kick 808 \u00e9");

    // Two files dropped onto the main window go into the slot shown and the next; the card
    // view follows.
    win->SampleList->setEditText(QStringLiteral("10"));
    const std::unique_ptr<QMimeData> data(
        Files({Source("tom 1.wav", Hit(2000, 40, 15000)), Source("tom 2.wav", hat)}));
    const QPoint onLabel = win->LenLabel->mapTo(win.get(), win->LenLabel->rect().center());
    Drop(win->childAt(onLabel), win->childAt(onLabel)->mapFrom(win.get(), onLabel), data.get());
    EXPECT_EQ(Name(10), "tom 1");
    EXPECT_EQ(Name(11), "tom 2");
    ExpectSlotHolds(11, hat);
    EXPECT_EQ(SlotItems(), QStringList({"06", "10", "11", "20"}));
    EXPECT_TRUE(view->StatusLine->text().startsWith(QStringLiteral("4 of 60 slots used")))
        << view->StatusLine->text().toStdString();
    EXPECT_EQ(view->FolderLine->text().toStdString(), card.path());

    // A slot changed behind the program's back shows its name greyed, with a note.
    guitest::WriteSlot(Slot(6), guitest::Ramp(3000));
    guitest::ChooseFolder(*win, card.path());
    const QTableWidgetItem* stale = view->Table->item(5, 1);
    EXPECT_EQ(stale->text(), "hat");
    EXPECT_EQ(stale->foreground().color(),
              view->Table->palette().color(QPalette::Disabled, QPalette::Text));
    EXPECT_NE(view->Table->item(9, 1)->foreground().color(), stale->foreground().color());
    EXPECT_FALSE(view->Table->item(5, 4)->text().isEmpty());

    guitest::SpinEventLoop(20);
    view->grab().save(QStringLiteral(BRELKA_PICTURE_DIR "/CardView.png"));
}

// A drop onto a used slot is one step: Ctrl+Z in the card view gives the old slot back byte for
// byte, Ctrl+Y the new one; the Card menus of both windows say what they would do and are
// greyed when there is nothing to do or while a job runs.
TEST_F(CardViewTest, UndoAndRedoByTheMenusShortcutsInBothWindows) {
    guitest::WriteSlot(Slot(5), guitest::Ramp(2048));
    const std::vector<uint8_t> before = ReadBytes(Slot(5));
    TCardView* view = OpenView();
    ASSERT_NE(view, nullptr);
    // The state of an item in both windows' menus: its text, and "-" when greyed.
    auto menus = [&](CardMenuItem item) {
        guitest::SpinEventLoop(10);
        QStringList states;
        for (TCardMenu* menu : {win->CardMenu(), view->CardMenu()}) {
            const QAction* a = menu->Action(item);
            states << (a->isEnabled() ? a->text() : QStringLiteral("-") + a->text());
        }
        return states.join(QLatin1Char('|')).toStdString();
    };
    EXPECT_EQ(menus(CardMenuItem::Undo), "-Undo|-Undo");
    EXPECT_EQ(menus(CardMenuItem::Redo), "-Redo|-Redo");
    EXPECT_EQ(win->CardMenu()->Action(CardMenuItem::Redo)->shortcuts(),
              QList<QKeySequence>({QKeySequence(QStringLiteral("Ctrl+Y")),
                                   QKeySequence(QStringLiteral("Ctrl+Shift+Z"))}));

    DropOnRow(5, {Source("clap.wav", Hit(4096, 17, 25000))});
    const std::vector<uint8_t> after = ReadBytes(Slot(5));
    ASSERT_NE(after, before);
    EXPECT_EQ(Name(5), "clap");
    EXPECT_EQ(menus(CardMenuItem::Undo), "Undo Import into 05|Undo Import into 05");
    // The main window's Card menu as the user opens it, for the README.
    auto* cardMenu = win->MenuBar->findChild<QMenu*>(QStringLiteral("CardMenu"));
    ASSERT_NE(cardMenu, nullptr);
    cardMenu->popup(win->mapToGlobal(QPoint(0, win->MenuBar->height())));
    guitest::SpinEventLoop(20);
    cardMenu->grab().save(QStringLiteral(BRELKA_PICTURE_DIR "/CardMenu.png"));
    cardMenu->close();
    win->Core().busy = true; // as while a job runs
    EXPECT_EQ(menus(CardMenuItem::Undo), "-Undo Import into 05|-Undo Import into 05");
    win->Core().busy = false;
    EXPECT_EQ(menus(CardMenuItem::Undo), "Undo Import into 05|Undo Import into 05");

    Activate(view);
    QTest::keyClick(view->Table, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(ReadBytes(Slot(5)), before);
    EXPECT_EQ(Name(5).toStdString(), "");
    EXPECT_EQ(menus(CardMenuItem::Undo), "-Undo|-Undo");
    EXPECT_EQ(menus(CardMenuItem::Redo), "Redo Import into 05|Redo Import into 05");
    QTest::keyClick(view->Table, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(ReadBytes(Slot(5)), after);
    EXPECT_EQ(Name(5), "clap");
    EXPECT_EQ(menus(CardMenuItem::Undo), "Undo Import into 05|Undo Import into 05");

    // In the main window the shortcut reaches the menu also from the slot field, which would
    // take Ctrl+Z for its own text; Ctrl+Shift+Z redoes.
    Activate(win.get());
    win->SampleList->lineEdit()->setFocus();
    QTest::keyClick(win->SampleList->lineEdit(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(ReadBytes(Slot(5)), before);
    EXPECT_EQ(win->SampleList->currentText(), "05"); // the field's own text as it was
    EXPECT_EQ(menus(CardMenuItem::Redo), "Redo Import into 05|Redo Import into 05");
    QTest::keyClick(win->SampleList->lineEdit(), Qt::Key_Z,
                    Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(ReadBytes(Slot(5)), after);
    EXPECT_EQ(menus(CardMenuItem::Redo), "-Redo|-Redo");
}

// The options dialog fills from what is set and gives back what the user leaves in it; a
// field that holds no number brings a message and the dialog again. What is set shows in the
// menus and the card view's status line, and a drop takes it.
TEST_F(CardViewTest, ImportOptionsDialogSetsWhatImportsDo) {
    TCardView* view = OpenView();
    ASSERT_NE(view, nullptr);
    QAction* options = win->CardMenu()->Action(CardMenuItem::ImportOptions);
    EXPECT_EQ(options->text(), "Import Options...");
    auto dialogOf = [](QWidget* d) {
        auto* dlg = qobject_cast<TImportOptionsDialog*>(d);
        EXPECT_NE(dlg, nullptr) << d->metaObject()->className();
        return dlg;
    };
    const int ran = RunWithModals([&] { options->trigger(); }, {[&](QWidget* d) {
                                      TImportOptionsDialog* dlg = dialogOf(d);
                                      if (!dlg) return guitest::Reject(d);
                                      EXPECT_EQ(dlg->windowTitle().toStdString(),
                                                brelka::layout::kImportOptionsCaption);
                                      EXPECT_EQ(dlg->NormalizeItems->checkedId(), 0);
                                      EXPECT_EQ(dlg->NormalizeDb->text(), "-0.3");
                                      dlg->TrimCheck->setChecked(true);
                                      dlg->NormalizeItems->button(1)->setChecked(true);
                                      dlg->accept();
                                  }});
    ASSERT_EQ(ran, 1);
    guitest::SpinEventLoop(10);
    const QString shown = QStringLiteral("Import Options (trim, normalize \u22120.3 dB)...");
    EXPECT_EQ(options->text(), shown);
    EXPECT_EQ(view->CardMenu()->Action(CardMenuItem::ImportOptions)->text(), shown);
    EXPECT_TRUE(view->StatusLine->text().contains(QStringLiteral("trim, normalize \u22120.3 dB")))
        << view->StatusLine->text().toStdString();

    // From the card view's menu: the dialog shows what is set; a bad level is refused.
    Activate(view);
    QString message;
    RunWithModals([&] { view->CardMenu()->Action(CardMenuItem::ImportOptions)->trigger(); },
                  {[&](QWidget* d) {
                       TImportOptionsDialog* dlg = dialogOf(d);
                       if (!dlg) return guitest::Reject(d);
                       EXPECT_EQ(dlg->parentWidget(), view);
                       EXPECT_TRUE(dlg->TrimCheck->isChecked());
                       EXPECT_EQ(dlg->NormalizeItems->checkedId(), 1);
                       dlg->NormalizeDb->setText(QStringLiteral("loud"));
                       dlg->accept();
                   },
                   [&](QWidget* box) {
                       message = guitest::MessageText(box);
                       guitest::Reject(box);
                   },
                   [&](QWidget* d) {
                       TImportOptionsDialog* dlg = dialogOf(d);
                       if (dlg) {
                           EXPECT_EQ(dlg->NormalizeDb->text(), "loud");
                       }
                       guitest::Reject(d);
                   }});
    EXPECT_FALSE(message.isEmpty());
    EXPECT_EQ(options->text(), shown);

    // A drop takes the options: silence trimmed, the peak at -0.3 dBFS.
    std::vector<int16_t> quiet(3000, 0);
    const std::vector<int16_t> hit = Hit(4000, 31, 8000);
    quiet.insert(quiet.end(), hit.begin(), hit.end());
    DropOnRow(9, {Source("rim.wav", quiet)});
    const std::vector<int16_t> held = guitest::ReadSlotSamples(Slot(9));
    ASSERT_FALSE(held.empty());
    const int peak = *std::max_element(
        held.begin(), held.end(), [](int16_t a, int16_t b) { return std::abs(a) < std::abs(b); });
    EXPECT_NEAR(std::abs(peak), 32768 * std::pow(10.0, -0.3 / 20), 1.5);
    EXPECT_LT(held.size(), quiet.size() - 2000); // the leading silence is gone
}

// The context menu holds the row commands with their keys; "Export..." of two rows writes
// them into a folder as "NN name.wav", which sox reads back as the slots' samples.
TEST_F(CardViewTest, ContextMenuExportsTheSelectedRowsToAFolder) {
    TCardView* view = OpenView();
    ASSERT_NE(view, nullptr);
    const std::vector<int16_t> hat = Hit(3125, 9, 9000), kick = Hit(9375, 60, 30000);
    DropOnRow(5, {Source("hat.wav", hat), Source("kick.wav", kick)});
    ClickRow(5);
    QTest::mouseClick(view->Table->viewport(), Qt::LeftButton, Qt::ShiftModifier, RowPoint(6));
    EXPECT_EQ(view->SelectedSlots(), (std::vector<int>{6, 5})); // the current one first

    TempDir out;
    QStringList captions;
    // The menu is a popup, not a modal window: it is looked for once it is up.
    QTimer::singleShot(50, view, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        QAction* exportItem = nullptr;
        for (QAction* a : menu->actions()) {
            captions << a->text();
            if (a->text().startsWith(QStringLiteral("Export"))) exportItem = a;
        }
        menu->close();
        if (exportItem) exportItem->trigger();
    });
    const int ran = RunWithModals(
        [&] {
            QContextMenuEvent e(QContextMenuEvent::Mouse, RowPoint(6),
                                view->Table->viewport()->mapToGlobal(RowPoint(6)));
            QApplication::sendEvent(view->Table->viewport(), &e);
            guitest::SpinEventLoop(200);
        },
        {[&](QWidget* d) { guitest::AcceptFolderDialog(d, QString::fromStdString(out.path())); }});
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(captions, QStringList({"Listen\tEnter", "Rename\tF2", "Export...", "Clear...\tDel"}));
    const std::vector<int16_t> held5 = guitest::ReadSlotSamples(Slot(5));
    EXPECT_EQ(guitest::SoxSamples(out.file("05 hat.wav")), held5);
    EXPECT_EQ(guitest::SoxSamples(out.file("06 kick.wav")), guitest::ReadSlotSamples(Slot(6)));
}

// "Back Up Card..." writes every used slot into a folder the user picks (over the card view,
// which shows the job); "Restore Card..." puts them back byte for byte after a question.
TEST_F(CardViewTest, BackUpAndRestoreThroughTheCardMenu) {
    const std::vector<int16_t> kick = Hit(9375, 60, 30000), snare = Hit(6250, 23, 20000);
    TCardView* view = OpenView();
    ASSERT_NE(view, nullptr);
    DropOnRow(2, {Source("kick.wav", kick), Source("snare.wav", snare)});
    const std::vector<uint8_t> kickBytes = ReadBytes(Slot(2)), snareBytes = ReadBytes(Slot(3));
    TempDir backup;
    QString title, told;
    auto pickBackup = [&](QWidget* d) {
        title = d->windowTitle();
        EXPECT_EQ(d->parentWidget(), view);
        guitest::AcceptFolderDialog(d, QString::fromStdString(backup.path()));
    };
    auto note = [&](QWidget* box) {
        told = guitest::MessageText(box);
        guitest::Reject(box);
    };
    Activate(view);
    RunWithModals([&] { view->CardMenu()->Action(CardMenuItem::BackUp)->trigger(); },
                  {pickBackup, note});
    EXPECT_EQ(title, "Back Up Card");
    EXPECT_TRUE(told.startsWith(QStringLiteral("2 slots backed up"))) << told.toStdString();
    EXPECT_EQ(guitest::SoxSamples(backup.file("02 kick.wav")), guitest::ReadSlotSamples(Slot(2)));

    // The card changes; the restore brings back what the backup holds.
    DropOnRow(2, {Source("snare.wav", snare)});
    ASSERT_NE(ReadBytes(Slot(2)), kickBytes);
    QString question;
    Activate(view);
    guitest::SpinEventLoop(10);
    RunWithModals([&] { view->CardMenu()->Action(CardMenuItem::Restore)->trigger(); },
                  {pickBackup, [&](QWidget* box) {
                       auto* mb = qobject_cast<QMessageBox*>(box);
                       ASSERT_NE(mb, nullptr);
                       question = mb->text();
                       mb->button(QMessageBox::Yes)->click();
                   }});
    EXPECT_EQ(title, "Restore Card");
    EXPECT_TRUE(question.startsWith(QStringLiteral("Restore 2 slots"))) << question.toStdString();
    EXPECT_EQ(ReadBytes(Slot(2)), kickBytes);
    EXPECT_EQ(ReadBytes(Slot(3)), snareBytes);
    EXPECT_EQ(Name(2), "kick");
}

// A drop's progress and Abort show in the card view while both windows' other controls are
// off; an aborted drop of several files leaves the card as it was.
TEST_F(CardViewTest, ADropShowsItsProgressInTheCardViewAndAbortLeavesTheCardAsItWas) {
    Create(true);
    TCardView* view = OpenView();
    ASSERT_NE(view, nullptr);
    EXPECT_FALSE(view->Progress->isVisible());
    EXPECT_FALSE(view->AbortBtn->isEnabled());
    const std::vector<int16_t> tone = guitest::Ramp(400 * 4096, 3);
    const std::vector<std::string> files = {Source("a.wav", tone), Source("b.wav", tone)};
    QString progress;
    bool abortOn = false, othersOff = false;
    QTimer::singleShot(300, view, [&] {
        progress = view->ProgressText->text();
        abortOn = view->Progress->isVisible() && view->AbortBtn->isEnabled();
        othersOff = !win->FromExecBtn->isEnabled() && !win->SrcEdit->isEnabled() &&
                    !view->FolderBtn->isEnabled() &&
                    !view->CardMenu()->Action(CardMenuItem::ImportOptions)->isEnabled();
        QTest::mouseClick(view->AbortBtn, Qt::LeftButton);
    });
    DropOnRow(3, files);
    EXPECT_TRUE(progress.startsWith(QStringLiteral("1 of 2: a"))) << progress.toStdString();
    EXPECT_TRUE(abortOn);
    EXPECT_TRUE(othersOff);
    EXPECT_FALSE(testsupport::FileExists(Slot(3)));
    EXPECT_FALSE(testsupport::FileExists(Slot(4)));
    EXPECT_EQ(Name(3), "(empty)");
    guitest::SpinEventLoop(10);
    EXPECT_FALSE(view->Progress->isVisible());
    EXPECT_FALSE(view->AbortBtn->isEnabled());
    EXPECT_TRUE(win->FromExecBtn->isEnabled());
}

// Without a folder the view has no rows and offers the folder choice; choosing one fills it.
TEST(CardViewWithoutFolder, OffersTheFolderChoice) {
    TempDir card;
    guitest::WriteSlot(brelka::SlotFileName(card.path(), 12), guitest::Ramp(4096));
    TMainWin win;
    win.show();
    win.CardMenu()->Action(CardMenuItem::CardView)->trigger();
    TCardView* view = win.CardView();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->Table->rowCount(), 0);
    EXPECT_TRUE(view->FolderBtn->isVisible());
    EXPECT_EQ(view->StatusLine->text().toStdString(), brelka::layout::kNoFolderText);
    const int ran = RunWithModals(
        [&] { QTest::mouseClick(view->FolderBtn, Qt::LeftButton); }, {[&](QWidget* d) {
            EXPECT_EQ(d, static_cast<QWidget*>(win.SelFolder));
            guitest::AcceptFolderDialog(d, QString::fromStdString(card.path()));
        }});
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(view->Table->rowCount(), 60);
    EXPECT_FALSE(view->FolderBtn->isVisible());
    EXPECT_EQ(view->Table->item(11, 1)->text(), ""); // used, without a name
    EXPECT_EQ(win.SrcEdit->text().toStdString(), card.path());
    // Closing the view hides it; "Card View..." brings the same one back.
    view->close();
    EXPECT_FALSE(view->isVisible());
    win.CardMenu()->Action(CardMenuItem::CardView)->trigger();
    EXPECT_EQ(win.CardView(), view);
    EXPECT_TRUE(view->isVisible());
}

} // namespace
