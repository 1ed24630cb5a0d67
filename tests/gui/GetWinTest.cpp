// The preview panel: its controls and the file information it shows.
#include <QFrame>
#include <QLabel>
#include <QToolButton>

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>

#include "GetWin.h"
#include "GuiTestSupport.h"
#include "WindowLayout.h"

using testsupport::TempDir;

namespace {

class GetWinTest : public ::testing::Test {
  protected:
    void SetUp() override { panel = new TGetWin(); }
    void TearDown() override { delete panel; }
    std::vector<std::string> Show(const std::string& path) {
        panel->Core().SelectionChange(path);
        return {panel->FsLabel->text().toStdString(), panel->FramesLabel->text().toStdString(),
                panel->BitLabel->text().toStdString()};
    }
    TGetWin* panel = nullptr;
    TempDir dir;
};

const std::vector<std::string> kBare = {"Sampling Rate : ", "Sampling Frames : ", "Bits / Word : "};

TEST_F(GetWinTest, ShowsThePanelAsItsTableHasIt) {
    const brelka::layout::Size size = brelka::layout::kPanelSize;
    EXPECT_EQ(panel->size(), QSize(size.width, size.height));
    for (const brelka::layout::PanelControl& c : brelka::layout::PanelControls()) {
        SCOPED_TRACE(c.name);
        auto* w = panel->findChild<QWidget*>(QString::fromLatin1(c.name));
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->parentWidget(), panel);
        EXPECT_EQ(w->geometry(), QRect(c.place.left, c.place.top, c.place.width, c.place.height));
        EXPECT_EQ(w->toolTip().toStdString(), c.toolTip ? c.toolTip : "");
        if (auto* label = qobject_cast<QLabel*>(w)) {
            EXPECT_EQ(label->text().toStdString(), c.caption);
        }
    }
    EXPECT_FALSE(panel->AudBtn->isCheckable());
    EXPECT_TRUE(panel->Core().selectedPath.empty());
}

TEST_F(GetWinTest, ShowsRateFramesDurationAndSampleSize) {
    guitest::WriteWav(dir.file("two.wav"), 1, 44100, std::vector<int16_t>(88200));
    EXPECT_EQ(Show(dir.file("two.wav")),
              (std::vector<std::string>{"Sampling Rate : 44100.00Hz",
                                        "Sampling Frames : 88200 (mono)  0:00:02:000",
                                        "Bits / Word : 16"}));
    guitest::WriteAiff(dir.file("odd.aif"), 2, 22050.5L, std::vector<int16_t>(2 * 44101));
    EXPECT_EQ(Show(dir.file("odd.aif")),
              (std::vector<std::string>{"Sampling Rate : 22050.50Hz",
                                        "Sampling Frames : 44101 (stereo)  0:00:02:000",
                                        "Bits / Word : 16"}));
    guitest::WriteWav(dir.file("three.wav"), 3, 8000, std::vector<int16_t>(3 * 12345));
    EXPECT_EQ(Show(dir.file("three.wav"))[1], "Sampling Frames : 12345 (mono)  0:00:01:543");
    guitest::WriteWav(dir.file("one.wav"), 1, 44100, std::vector<int16_t>(1));
    EXPECT_EQ(Show(dir.file("one.wav"))[1], "Sampling Frames : 1 (mono)  0:00:00:000");
    // A rate whose hour in frames exceeds 32 bits.
    guitest::WriteWav(dir.file("fast.wav"), 1, 700000, std::vector<int16_t>(770000));
    EXPECT_EQ(Show(dir.file("fast.wav")),
              (std::vector<std::string>{"Sampling Rate : 700000.00Hz",
                                        "Sampling Frames : 770000 (mono)  0:00:01:100",
                                        "Bits / Word : 16"}));
}

TEST_F(GetWinTest, UnreadableFilesShowTheBareCaptions) {
    guitest::WriteWav(dir.file("two.wav"), 1, 44100, std::vector<int16_t>(88200));
    Show(dir.file("two.wav"));
    testsupport::WriteBytes(dir.file("junk.wav"), std::vector<uint8_t>(64, 0x55));
    EXPECT_EQ(Show(dir.file("junk.wav")), kBare);
    EXPECT_EQ(Show(dir.path()), kBare); // a folder
    Show(dir.file("two.wav"));
    EXPECT_EQ(Show(dir.file("missing.aif")), kBare);
    // A rate below 1 Hz has no duration.
    guitest::WriteAiff(dir.file("slow.aif"), 1, 0.5L, std::vector<int16_t>(100));
    EXPECT_EQ(Show(dir.file("slow.aif")), kBare);
    // An empty path changes nothing.
    Show(dir.file("two.wav"));
    EXPECT_EQ(Show(""), (std::vector<std::string>{"Sampling Rate : 44100.00Hz",
                                                  "Sampling Frames : 88200 (mono)  0:00:02:000",
                                                  "Bits / Word : 16"}));
}

TEST_F(GetWinTest, CorpusFilesTheReaderRefusesShowTheBareCaptions) {
    for (const char* name :
         {"hound/pcmwaveformat-24bit-4byte-48kHz-stereo.wav", "go-audio-aiff/ableton.aif"})
        EXPECT_EQ(Show(testsupport::CorpusFile(name)), kBare) << name;
}

// The toolkit adopts the environment's locale; under a German one the C library would write
// the rate with a decimal comma. The panel keeps the point.
TEST_F(GetWinTest, NumbersDoNotFollowTheLocale) {
#ifdef _WIN32
    GTEST_SKIP() << "the German locale is made with glibc's localedef";
#else
    TempDir locales;
    ASSERT_EQ(testsupport::Run("localedef -i de_DE -f UTF-8 " +
                               testsupport::Quote(locales.file("de_DE.UTF-8")) + " 2>&1")
                  .status,
              0);
    const std::string before = std::setlocale(LC_ALL, nullptr);
    setenv("LOCPATH", locales.path().c_str(), 1);
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
    const std::string point = std::localeconv()->decimal_point;
    guitest::WriteAiff(dir.file("odd.aif"), 2, 22050.5L, std::vector<int16_t>(2 * 44101));
    const auto lines = Show(dir.file("odd.aif"));
    std::setlocale(LC_ALL, before.c_str());
    unsetenv("LOCPATH");
    ASSERT_EQ(point, ","); // the German locale was in force
    EXPECT_EQ(lines, (std::vector<std::string>{"Sampling Rate : 22050.50Hz",
                                               "Sampling Frames : 44101 (stereo)  0:00:02:000",
                                               "Bits / Word : 16"}));
#endif
}

} // namespace
