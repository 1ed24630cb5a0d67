// The card view and the Card menu through the real windows: drops from the file manager onto a
// row and onto the main window, a row dragged onto another, the row commands by their keys,
// undo and redo by the menus' shortcuts, and the Import Options dialog.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDropEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
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
    void SetUp() override {
        win = std::make_unique<TMainWin>();
        win->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(win.get()));
        guitest::ChooseFolder(*win, card.path());
    }
    void TearDown() override { win.reset(); }

    // Opens the card view with the main window's shortcut.
    TCardView* OpenView() {
        win->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(win.get()));
        QTest::keyClick(win->SampleList->lineEdit(), Qt::Key_K, Qt::ControlModifier);
        TCardView* view = win->CardView();
        if (!view) return nullptr;
        EXPECT_TRUE(QTest::qWaitForWindowActive(view));
        return view;
    }
    // A WAV file at the card's rate in the sources folder.
    std::string Source(const std::string& name, const std::vector<int16_t>& samples) {
        const std::string path = sources.file(name);
        guitest::WriteWav(path, 1, 31250, samples);
        return path;
    }
    // What a file manager's drop does: enter, move and drop at a point of the widget.
    static void Drop(QWidget* target, const QPoint& pos, QMimeData* data) {
        QDragEnterEvent enter(pos, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QDragMoveEvent move(pos, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton,
                            Qt::NoModifier);
        QApplication::sendEvent(target, &move);
        QDropEvent drop(pos, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
        EXPECT_TRUE(drop.isAccepted());
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

    guitest::SpinEventLoop(20);
    view->grab().save(QStringLiteral(BRELKA_PICTURE_DIR "/CardView.png"));
}

} // namespace
