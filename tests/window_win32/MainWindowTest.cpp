// brelka.exe under wine, driven through its real controls and dialogs as a user drives it: the
// design at start, imports through the open dialog with its preview panel, exports through the
// save dialog, and an aborted import. The slot files and exports are kept in window-results/
// beside the build's bin/ with a list of the requests, which scripts/window-results.sh repeats
// with the Linux command-line tool to compare the bytes.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

#include "ControlIds.h"
#include "TestSupport.h"
#include "Win32Look.h"
#include "WindowDriver.h"
#include "WindowLayout.h"

using namespace windowtest;
namespace layout = brelka::layout;
namespace fs = std::filesystem;

namespace {

const std::string kBin = BRELKA_BIN_DIR;
// The build folder (bin/ is its child).
const std::string kBuild = kBin.substr(0, kBin.rfind('/'));
const std::string kResults = kBuild + "/window-results";
const std::string kShots = kBuild;
// The names of the slots, beside them on the card.
const char* const kNamesFile = "BRELKA.TXT";
const std::string kStereoKick = "go-audio-wav/kick-16b441k.wav"; // 44100 Hz, 7782 frames

// The system's file dialogs: their OK button and file-name field.
constexpr int kDialogOk = IDOK;
constexpr int kFileNameCombo = 0x47c; // cmb13
constexpr int kFileNameEdit = 0x480;  // edt1

std::string Native(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

fs::path Fs(const std::string& path) {
    return fs::path(Wide(path));
}

void FreshFolder(const std::string& path) {
    std::error_code ec;
    fs::remove_all(Fs(path), ec);
    fs::create_directories(Fs(path));
}

void CopyCorpus(const std::string& name, const std::string& to) {
    fs::copy_file(Fs(std::string(BRELKA_CORPUS_DIR) + "/" + name), Fs(to),
                  fs::copy_options::overwrite_existing);
}

// A 16-bit PCM WAV of noise, dying away by decay (1/s) as a drum's hit does when it is given.
void WriteNoiseWav(const std::string& path, uint32_t rate, uint16_t channels, uint32_t frames,
                   double decay = 0) {
    std::ofstream out(Fs(path), std::ios::binary);
    auto u32 = [&](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    const uint32_t bytes = frames * channels * 2;
    out.write("RIFF", 4);
    u32(36 + bytes);
    out.write("WAVEfmt ", 8);
    u32(16);
    u16(1);
    u16(channels);
    u32(rate);
    u32(rate * channels * 2);
    u16(static_cast<uint16_t>(channels * 2));
    u16(16);
    out.write("data", 4);
    u32(bytes);
    std::vector<int16_t> block(65536);
    uint32_t seed = 1;
    for (uint32_t done = 0; done < frames * channels;) {
        const uint32_t n =
            std::min<uint32_t>(static_cast<uint32_t>(block.size()), frames * channels - done);
        for (uint32_t i = 0; i < n; ++i) {
            seed = seed * 1664525u + 1013904223u;
            block[i] = static_cast<int16_t>((seed >> 16) & 0x3FFF) - 0x2000;
            const uint32_t frame = (done + i) / channels;
            if (decay > 0)
                block[i] = static_cast<int16_t>(block[i] * 3.5 * std::exp(-decay * frame / rate));
        }
        out.write(reinterpret_cast<const char*>(block.data()), n * 2);
        done += n;
    }
}

// The largest magnitude among samples [from, to).
int Peak(const std::vector<int16_t>& samples, size_t from, size_t to) {
    int most = 0;
    for (size_t i = from; i < std::min(to, samples.size()); ++i)
        most = std::max(most, std::abs(static_cast<int>(samples[i])));
    return most;
}

// A test's own folder beside the results, with an empty card and a source folder; removed at
// the end.
struct Scratch {
    std::string work, card, src;
    explicit Scratch(const std::string& name)
        : work(kResults + "-" + name), card(work + "/card"), src(work + "/src") {
        FreshFolder(work);
        FreshFolder(card);
        FreshFolder(src);
    }
    ~Scratch() {
        std::error_code ec;
        fs::remove_all(Fs(work), ec);
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
};

std::string SlotPath(const std::string& card, int slot) {
    char name[32];
    std::snprintf(name, sizeof name, "/SAMPLE%02d.BIN", slot - 1);
    return card + name;
}

// The user at the window of one started program.
class MainWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        program_ = std::make_unique<Program>(Exe());
        window_ = program_->window();
        ASSERT_NE(window_, nullptr) << "brelka.exe shows no window";
    }
    void TearDown() override {
        if (program_) {
            EXPECT_TRUE(program_->Close()) << "the program did not end on close";
        }
    }

    virtual std::string Exe() { return kBin + "/brelka.exe"; }
    HWND Ctl(int id) const { return GetDlgItem(window_, id); }
    bool Enabled(int id) const { return IsWindowEnabled(Ctl(id)) != FALSE; }

    // A dialog the window opened, once it shows.
    HWND WaitDialog() const {
        HWND dlg = nullptr;
        Eventually([&] { return (dlg = OwnedDialog(window_)) != nullptr; }, 15000);
        return dlg;
    }
    bool WaitDialogGone(HWND dlg) const {
        return Eventually([&] { return !IsWindow(dlg) || !IsWindowVisible(dlg); }, 15000);
    }
    static HWND NameField(HWND dlg) {
        if (HWND combo = GetDlgItem(dlg, kFileNameCombo)) return combo;
        return GetDlgItem(dlg, kFileNameEdit);
    }
    // Types a name into a file dialog's name field and presses its OK button.
    static void Enter(HWND dlg, const std::string& name) {
        HWND field = NameField(dlg);
        HWND edit = FindChild(field, L"Edit");
        Type(edit ? edit : field, name);
        Eventually([&] { return Text(field) == name; }, 5000);
        Click(GetDlgItem(dlg, kDialogOk));
    }

    // Chooses a folder in a folder dialog.
    void PickFolder(HWND dlg, const std::string& folder) const {
        ASSERT_NE(dlg, nullptr) << "no folder dialog";
        Enter(dlg, Native(folder));
        // Typing a folder's path opens it; OK with the name field empty then chooses it.
        if (!Eventually([&] { return !IsWindowVisible(dlg); }, 1500))
            Click(GetDlgItem(dlg, kDialogOk));
        ASSERT_TRUE(WaitDialogGone(dlg)) << Describe(dlg);
    }

    // The window is idle again after a job: its buttons are back and the information line is
    // empty. With output, the job has also written that file: the window is idle for a moment
    // between a dialog's end and the job's start.
    bool WaitJobEnd(const std::string& output = "") const {
        return Eventually(
            [&] {
                return (output.empty() || testsupport::FileExists(output)) &&
                       Enabled(IDC_FROMEXECBTN) && Text(Ctl(IDC_INFOTEXT)).empty();
            },
            60000);
    }

    void ChooseFolder(const std::string& folder) {
        MouseClick(Ctl(IDC_SRCEDIT));
        ASSERT_NO_FATAL_FAILURE(PickFolder(WaitDialog(), folder));
        ASSERT_TRUE(Eventually([&] { return Text(Ctl(IDC_SRCEDIT)) == Native(folder); }))
            << Text(Ctl(IDC_SRCEDIT));
    }

    // Types the slot number into the slot combo.
    void TypeSlot(const std::string& slot) {
        HWND edit = FindChild(Ctl(IDC_SAMPLELIST), L"Edit");
        Type(edit, slot);
        ASSERT_TRUE(Eventually([&] { return Text(Ctl(IDC_SAMPLELIST)) == slot; }));
    }

    // channel 0 L, 1 R, 2 MIX; quality 0 off ... 5 Ultra Heavy.
    void Choose(int channel, int quality) {
        Click(Ctl(IDC_IMPORT_L + channel));
        ASSERT_TRUE(Eventually([&] { return Checked(Ctl(IDC_IMPORT_L + channel)); }));
        const bool on = quality > 0;
        if (Checked(Ctl(IDC_RATECONVCHECK)) != on) Click(Ctl(IDC_RATECONVCHECK));
        ASSERT_TRUE(Eventually([&] { return Checked(Ctl(IDC_RATECONVCHECK)) == on; }));
        if (!on) return;
        const int radio = IDC_RSSIMPLE + quality - 1;
        ASSERT_TRUE(Eventually([&] { return Enabled(radio); })) << "quality " << quality;
        Click(Ctl(radio));
        ASSERT_TRUE(Eventually([&] { return Checked(Ctl(radio)); }));
    }

    // "from WAV/AIFF": opens the source's folder in the open dialog, selects the file in its
    // list (the panel then shows it), runs check on the open dialog and presses OK unless the
    // check has closed it.
    void Import(const std::string& source, const std::function<void(HWND)>& check = {}) {
        ASSERT_TRUE(Eventually([&] { return Enabled(IDC_FROMEXECBTN); }));
        Click(Ctl(IDC_FROMEXECBTN));
        HWND dlg = WaitDialog();
        ASSERT_NE(dlg, nullptr) << "no open dialog";
        const std::string folder = Native(fs::path(Fs(source)).parent_path().u8string());
        const std::string name = fs::path(Fs(source)).filename().u8string();
        fs::create_directories(fs::path(Fs(source)).parent_path() / L"folder");
        Enter(dlg, folder);
        // The user picks the file in the list: the folder lists a sub-folder first, then the
        // file alone, so the last item is the file.
        // (The dialog makes a new list for each folder it shows.)
        ASSERT_TRUE(Eventually([&] {
            HWND list = FindChild(dlg, L"SysListView32");
            if (list) Key(list, VK_END);
            Sleep(200);
            return Text(NameField(dlg)) == name;
        })) << Text(NameField(dlg))
            << "\n"
            << Describe(dlg);
        if (check) check(dlg);
        if (IsWindow(dlg) && IsWindowVisible(dlg)) Click(GetDlgItem(dlg, kDialogOk));
        ASSERT_TRUE(WaitDialogGone(dlg));
    }

    // "to WAV/AIFF" into path.
    void Export(const std::string& path) {
        ASSERT_TRUE(Eventually([&] { return Enabled(IDC_TOEXECBTN); }));
        Click(Ctl(IDC_TOEXECBTN));
        HWND dlg = WaitDialog();
        ASSERT_NE(dlg, nullptr) << "no save dialog";
        Enter(dlg, Native(path));
        ASSERT_TRUE(WaitDialogGone(dlg));
        ASSERT_TRUE(WaitJobEnd(path)) << path;
    }

    // The window with the keyboard focus in the program's window thread.
    HWND Focus() const { return FocusOf(window_); }
    // Its control id; the slot combo's edit field stands for the combo.
    int FocusedId() const {
        HWND f = Focus();
        if (f && GetParent(f) == Ctl(IDC_SAMPLELIST)) f = Ctl(IDC_SAMPLELIST);
        return f ? GetDlgCtrlID(f) : 0;
    }

    void Shot(HWND hwnd, const std::string& name) {
        RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        Sleep(300);
        EXPECT_TRUE(CaptureWindow(hwnd, kShots + "/" + name + ".bmp"));
    }

    std::unique_ptr<Program> program_;
    HWND window_ = nullptr;
};

TEST_F(MainWindow, ShowsTheDesignAtStart) {
    wchar_t caption[128] = {};
    GetWindowTextW(window_, caption, 128);
    EXPECT_EQ(Utf8(caption), BRELKA_EXPECTED_CAPTION);
    RECT client{};
    GetClientRect(window_, &client);
    EXPECT_EQ(client.right, layout::kWindowSize.width);
    EXPECT_EQ(client.bottom, layout::kWindowSize.height);
    EXPECT_EQ(GetWindowLongW(window_, GWL_STYLE) & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0)
        << "the window is of fixed size";

    // Every control of the form where its table puts it, with its caption and its state; the
    // radio buttons are the window's own children, over their group box.
    for (const layout::MainControl& c : layout::MainControls()) {
        SCOPED_TRACE(c.name);
        HWND w = Ctl(IDC_SRCEDIT + layout::PartIndex(c.part));
        ASSERT_NE(w, nullptr);
        layout::Rect place = c.place;
        if (c.parent != layout::Part::Window) {
            place.left += layout::Spec(c.parent).place.left;
            place.top += layout::Spec(c.parent).place.top;
        }
        const RECT r = PlaceInParent(w);
        EXPECT_EQ(r.left, place.left);
        EXPECT_EQ(r.top, place.top);
        EXPECT_EQ(r.right - r.left, place.width);
        // A combo is as high as its font makes its edit field.
        if (c.listHeight == 0) {
            EXPECT_EQ(r.bottom - r.top, place.height);
        }
        EXPECT_EQ(Text(w), c.caption);
        EXPECT_EQ(IsWindowEnabled(w) != FALSE, c.enabled);
        if (c.kind == layout::Kind::RadioButton || c.kind == layout::Kind::CheckBox) {
            EXPECT_EQ(Checked(w), c.checked);
        }
    }

    // Tab order: the window's children in the order Tab visits them.
    std::vector<int> tab;
    for (const layout::MainControl& c : layout::MainControls())
        if (c.inTabOrder) tab.push_back(IDC_SRCEDIT + layout::PartIndex(c.part));
    std::vector<int> order;
    for (HWND c = GetWindow(window_, GW_CHILD); c && order.size() < tab.size();
         c = GetWindow(c, GW_HWNDNEXT))
        order.push_back(GetDlgCtrlID(c));
    EXPECT_EQ(order, tab);
    // Tab walks the enabled ones from the folder field (into the channel choice at its checked
    // item), and round again.
    EXPECT_TRUE(Eventually([&] { return FocusedId() == IDC_SRCEDIT; })) << FocusedId();
    for (int next : {IDC_RATECONVCHECK, IDC_SAMPLELIST, IDC_IMPORT_MIX, IDC_SRCEDIT}) {
        Key(Focus(), VK_TAB);
        EXPECT_TRUE(Eventually([&] { return FocusedId() == next; }, 5000))
            << "expected " << next << ", at " << FocusedId();
    }

    // Conversion on: all five qualities with the engine beside the program; off keeps the choice.
    Click(Ctl(IDC_RATECONVCHECK));
    EXPECT_TRUE(Eventually([&] { return Enabled(IDC_RSUHEAVY) && Enabled(IDC_RSSIMPLE); }));
    Click(Ctl(IDC_RSHEAVY));
    EXPECT_TRUE(Eventually([&] { return Checked(Ctl(IDC_RSHEAVY)); }));
    Click(Ctl(IDC_RATECONVCHECK));
    EXPECT_TRUE(Eventually([&] { return !Enabled(IDC_RSSIMPLE) && !Enabled(IDC_RSHEAVY); }));
    EXPECT_TRUE(Checked(Ctl(IDC_RSHEAVY)));
    EXPECT_FALSE(Checked(Ctl(IDC_RSSIMPLE)));
}

// The whole road of a user: a folder, imports of every channel at every kind of conversion
// through the open dialog and its panel, exports to WAV and AIFF through the save dialog.
TEST_F(MainWindow, ImportsAndExportsThroughTheDialogs) {
    FreshFolder(kResults);
    const std::string card = kResults + "/card";
    FreshFolder(card);
    // A source folder named in other scripts: the paths go through the dialogs and the jobs
    // whole.
    const std::string sourceFolder = "src/Kärtchen 日本";
    FreshFolder(kResults + "/" + sourceFolder);
    FreshFolder(kResults + "/export");
    const std::string kick = kResults + "/" + sourceFolder + "/kick-16b441k.wav";
    CopyCorpus(kStereoKick, kick);
    std::ofstream requests(Fs(kResults + "/requests.txt"));

    ASSERT_NO_FATAL_FAILURE(ChooseFolder(card));
    // An empty card: no slots listed, both jobs possible, nothing to hear.
    EXPECT_TRUE(Eventually([&] { return Enabled(IDC_FROMEXECBTN) && Enabled(IDC_TOEXECBTN); }));
    EXPECT_FALSE(Enabled(IDC_AUDBTN));
    EXPECT_EQ(SendMessageW(Ctl(IDC_SAMPLELIST), CB_GETCOUNT, 0, 0), 0);

    struct Request {
        const char* slot;
        int channel;
        int quality;
    };
    const char* channels[] = {"L", "R", "MIX"};
    const char* qualities[] = {"off", "simple", "light", "medium", "heavy", "ultra"};
    const Request imports[] = {
        {"01", 2, 0}, {"02", 0, 0}, {"03", 1, 1}, {"04", 2, 4}, {"05", 0, 5}};
    bool panelSeen = false;
    for (const Request& r : imports) {
        SCOPED_TRACE(r.slot);
        ASSERT_NO_FATAL_FAILURE(TypeSlot(r.slot));
        ASSERT_NO_FATAL_FAILURE(Choose(r.channel, r.quality));
        ASSERT_NO_FATAL_FAILURE(Import(kick, [&](HWND dlg) {
            if (panelSeen) return;
            panelSeen = true;
            // The panel inside the dialog shows the selected file.
            HWND panel = FindChild(dlg, BRELKA_PANEL_CLASS);
            ASSERT_NE(panel, nullptr) << Describe(dlg);
            EXPECT_TRUE(IsWindowVisible(panel));
            EXPECT_TRUE(Eventually([&] {
                return Text(GetDlgItem(panel, IDC_PANEL_FSLABEL)) == "Sampling Rate : 44100.00Hz";
            })) << Text(GetDlgItem(panel, IDC_PANEL_FSLABEL));
            EXPECT_EQ(Text(GetDlgItem(panel, IDC_PANEL_FRAMESLABEL)),
                      "Sampling Frames : 7782 (stereo)  0:00:00:176");
            EXPECT_EQ(Text(GetDlgItem(panel, IDC_PANEL_BITLABEL)), "Bits / Word : 16");
            const RECT place = PlaceInParent(panel);
            EXPECT_GE(place.right - place.left, 416);
            EXPECT_EQ(place.bottom - place.top, 84);
            Shot(dlg, "window-open-dialog");
        }));
        ASSERT_TRUE(WaitJobEnd(SlotPath(card, std::stoi(r.slot)))) << r.slot;
        requests << "import " << r.slot << ' ' << channels[r.channel] << ' ' << qualities[r.quality]
                 << ' ' << sourceFolder << "/kick-16b441k.wav\n";
    }
    EXPECT_TRUE(panelSeen);
    // After an import the slot is listed and selected; the slots can be heard.
    EXPECT_EQ(SendMessageW(Ctl(IDC_SAMPLELIST), CB_GETCOUNT, 0, 0), 5);
    EXPECT_EQ(Text(Ctl(IDC_SAMPLELIST)), "05");
    EXPECT_TRUE(Eventually([&] { return Enabled(IDC_AUDBTN); }));

    // Picking a slot shows its length (7782 frames at 44100 Hz, unconverted: 7782 at 31250).
    TypeSlot("02");
    EXPECT_TRUE(Eventually([&] { return Text(Ctl(IDC_LENLABEL)) != "---:--:---"; }))
        << Text(Ctl(IDC_LENLABEL));

    // Exports: the slot at the device rate to WAV, and converted to 44100 Hz to AIFF.
    ASSERT_NO_FATAL_FAILURE(Choose(2, 0));
    ASSERT_NO_FATAL_FAILURE(Export(kResults + "/export/slot02.wav"));
    requests << "export 02 off export/slot02.wav\n";
    ASSERT_NO_FATAL_FAILURE(TypeSlot("04"));
    ASSERT_NO_FATAL_FAILURE(Choose(2, 4));
    ASSERT_NO_FATAL_FAILURE(Export(kResults + "/export/slot04.aif"));
    requests << "export 04 heavy export/slot04.aif\n";
    EXPECT_TRUE(testsupport::FileExists(kResults + "/export/slot02.wav"));
    EXPECT_TRUE(testsupport::FileExists(kResults + "/export/slot04.aif"));
    Shot(window_, "window-main");
}

// The converter on one thread, so that a long import takes its time.
class MainWindowOneThread : public MainWindow {
  protected:
    void SetUp() override {
        SetEnvironmentVariableW(L"QMX_THREADS", L"1");
        MainWindow::SetUp();
        SetEnvironmentVariableW(L"QMX_THREADS", nullptr);
    }
};

// A file that is not sound: the job's failure comes as the system's message box, with the
// program's name as its caption, and the slot stays unwritten.
TEST_F(MainWindow, AFailedImportSaysSoInAMessageBox) {
    const Scratch dirs("message");
    testsupport::WriteBytes(dirs.src + "/noise.wav", std::vector<uint8_t>(4096, 0x5A));
    ASSERT_NO_FATAL_FAILURE(ChooseFolder(dirs.card));
    ASSERT_NO_FATAL_FAILURE(Import(dirs.src + "/noise.wav"));
    HWND box = WaitDialog();
    ASSERT_NE(box, nullptr) << "no message";
    wchar_t caption[64] = {};
    GetWindowTextW(box, caption, 64);
    EXPECT_EQ(Utf8(caption), "brelka");
    EXPECT_EQ(Text(GetDlgItem(box, 0xFFFF)), "Source File error.") << Describe(box);
    Click(GetDlgItem(box, IDOK));
    EXPECT_TRUE(WaitDialogGone(box));
    EXPECT_TRUE(WaitJobEnd());
    EXPECT_FALSE(testsupport::FileExists(SlotPath(dirs.card, 1)));
}

// The panel's button plays the selected file while a mouse button is held on it: the sound
// device hears the file then, and silence once the button is released.
TEST_F(MainWindow, PanelPlaysTheFileWhileTheButtonIsHeld) {
    const std::string work = kResults + "-panel";
    FreshFolder(work + "/card");
    FreshFolder(work + "/src");
    WriteNoiseWav(work + "/src/noise.wav", 44100, 2, 44100 * 10);
    ASSERT_NO_FATAL_FAILURE(ChooseFolder(work + "/card"));
    std::vector<int16_t> heard;
    ASSERT_NO_FATAL_FAILURE(Import(work + "/src/noise.wav", [&](HWND dlg) {
        HWND panel = FindChild(dlg, BRELKA_PANEL_CLASS);
        ASSERT_NE(panel, nullptr);
        ASSERT_TRUE(Eventually(
            [&] { return Text(GetDlgItem(panel, IDC_PANEL_BITLABEL)) == "Bits / Word : 16"; }));
        HWND button = GetDlgItem(panel, IDC_PANEL_AUDBTN);
        HWND before = FocusOf(dlg);
        Recorder recorder(4);
        ASSERT_TRUE(recorder.started()) << "no recording device";
        Sleep(300);
        PostMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
        Sleep(1500);
        PostMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
        Sleep(1200);
        // The press left the keyboard in the dialog's file list.
        EXPECT_NE(FocusOf(dlg), button);
        EXPECT_EQ(FocusOf(dlg), before);
        heard = recorder.Stop();
        // The dialog is left without importing.
        Click(GetDlgItem(dlg, IDCANCEL));
        WaitDialogGone(dlg);
    }));
    ASSERT_GT(heard.size(), 31250u * 2) << "the recording is too short";
    EXPECT_GT(Peak(heard, 0, heard.size()), 1000) << "nothing was heard while the button was held";
    // The last 400 ms, well after the release, are silent.
    EXPECT_LT(Peak(heard, heard.size() - 12500, heard.size()), 50)
        << "the sound went on after release";
}

// The program alone in a folder, without the engine beside it.
class MainWindowWithoutEngine : public MainWindow {
  protected:
    std::string Exe() override {
        const std::string folder = kResults + "-alone";
        FreshFolder(folder);
        fs::copy_file(Fs(kBin + "/brelka.exe"), Fs(folder + "/brelka.exe"));
        return folder + "/brelka.exe";
    }
};

// Without the engine the window offers "Simple" only.
TEST_F(MainWindowWithoutEngine, OffersSimpleOnly) {
    Click(Ctl(IDC_RATECONVCHECK));
    ASSERT_TRUE(Eventually([&] { return Enabled(IDC_RSSIMPLE); }));
    for (int id : {IDC_RSLIGHT, IDC_RSMEDIUM, IDC_RSHEAVY, IDC_RSUHEAVY})
        EXPECT_FALSE(Enabled(id)) << id;
    EXPECT_TRUE(Checked(Ctl(IDC_RSSIMPLE)));
}

// A card folder and a long source: four minutes at 192 kHz are seconds of work for the
// converter on one thread.
struct LongImport {
    static constexpr uint32_t kSeconds = 240;
    std::string work = kResults + "-long";
    std::string card = work + "/card";
    std::string source = work + "/long/long.wav";
    LongImport() {
        FreshFolder(work);
        FreshFolder(card);
        FreshFolder(work + "/long");
        WriteNoiseWav(source, 192000, 1, 192000u * kSeconds);
    }
    ~LongImport() {
        std::error_code ec;
        fs::remove_all(Fs(work), ec);
    }
    // The slot file's size when the whole source is converted.
    static int64_t WholeSize() { return 512 + int64_t{kSeconds} * 31250 * 2; }
    // The folder holds one slot file, a whole device sample file shorter than the full one,
    // and the names file that names it.
    void ExpectShorterSlot(int slot) const {
        const int64_t size = testsupport::FileSize(SlotPath(card, slot));
        EXPECT_GT(size, 512);
        EXPECT_LT(size, WholeSize()) << "the import ran to its end";
        EXPECT_EQ((size - 512) % 1024, 0) << "the data is padded to whole 512-sample blocks";
        std::vector<std::string> left;
        for (const auto& entry : fs::directory_iterator(Fs(card)))
            left.push_back(entry.path().filename().u8string());
        char name[32];
        std::snprintf(name, sizeof name, "SAMPLE%02d.BIN", slot - 1);
        std::sort(left.begin(), left.end());
        EXPECT_EQ(left, (std::vector<std::string>{kNamesFile, name}));
    }
};

// While an import runs, "Abort" stops it: the slot then holds the shorter sample converted so
// far, a whole device sample file, and nothing else is left in the folder.
TEST_F(MainWindowOneThread, AbortEndsALongImportEarly) {
    LongImport job;
    ASSERT_NO_FATAL_FAILURE(ChooseFolder(job.card));
    ASSERT_NO_FATAL_FAILURE(TypeSlot("07"));
    ASSERT_NO_FATAL_FAILURE(Choose(2, 4));
    ASSERT_NO_FATAL_FAILURE(Import(job.source));
    ASSERT_TRUE(Eventually([&] { return Text(Ctl(IDC_INFOTEXT)).rfind("Passing ", 0) == 0; }))
        << Text(Ctl(IDC_INFOTEXT));
    // During the job only "Abort" is enabled.
    EXPECT_TRUE(Enabled(IDC_ABORTBTN));
    for (int id : {IDC_SRCEDIT, IDC_SAMPLELIST, IDC_FROMEXECBTN, IDC_TOEXECBTN, IDC_RATECONVCHECK})
        EXPECT_FALSE(Enabled(id)) << id;
    Click(Ctl(IDC_ABORTBTN));
    ASSERT_TRUE(WaitJobEnd());
    EXPECT_FALSE(Enabled(IDC_ABORTBTN));
    job.ExpectShorterSlot(7);
    EXPECT_EQ(Text(Ctl(IDC_SAMPLELIST)), "07");
}

// Closing the window while a job runs stops the job at its next step; the program then ends,
// leaving a whole slot file.
TEST_F(MainWindowOneThread, ClosingDuringAnImportEndsTheJobFirst) {
    LongImport job;
    ASSERT_NO_FATAL_FAILURE(ChooseFolder(job.card));
    ASSERT_NO_FATAL_FAILURE(TypeSlot("03"));
    ASSERT_NO_FATAL_FAILURE(Choose(2, 4));
    ASSERT_NO_FATAL_FAILURE(Import(job.source));
    ASSERT_TRUE(Eventually([&] { return Text(Ctl(IDC_INFOTEXT)).rfind("Passing ", 0) == 0; }));
    EXPECT_TRUE(program_->Close());
    program_.reset();
    job.ExpectShorterSlot(3);
}

// "Hear the Sound" stays down while the slot plays, and only it can be used then; putting it up
// ends the sound and gives the window back.
TEST_F(MainWindow, SlotAuditionHoldsTheWindowUntilTheButtonComesUp) {
    const std::string card = kResults + "-audition";
    FreshFolder(card);
    // Ten seconds of sound in slot 01, so that it still plays when the button comes up.
    WriteNoiseWav(card + "/ten.wav", 31250, 1, 312500);
    ASSERT_NO_FATAL_FAILURE(ChooseFolder(card));
    ASSERT_NO_FATAL_FAILURE(TypeSlot("01"));
    ASSERT_NO_FATAL_FAILURE(Import(card + "/ten.wav"));
    ASSERT_TRUE(WaitJobEnd(SlotPath(card, 1)));
    ASSERT_TRUE(Eventually([&] { return Enabled(IDC_AUDBTN); }));

    Recorder recorder(5);
    ASSERT_TRUE(recorder.started()) << "no recording device";
    Click(Ctl(IDC_AUDBTN));
    ASSERT_TRUE(Eventually([&] { return Text(Ctl(IDC_INFOTEXT)) == "Audio playing..."; }))
        << Text(Ctl(IDC_INFOTEXT));
    EXPECT_TRUE(Checked(Ctl(IDC_AUDBTN)));
    EXPECT_TRUE(Eventually([&] { return !Enabled(IDC_FROMEXECBTN); }));
    for (int id : {IDC_SRCEDIT, IDC_SAMPLELIST, IDC_TOEXECBTN, IDC_RATECONVCHECK, IDC_IMPORT_L,
                   IDC_ABORTBTN})
        EXPECT_FALSE(Enabled(id)) << id;
    EXPECT_TRUE(Enabled(IDC_AUDBTN));

    Sleep(1500);
    Click(Ctl(IDC_AUDBTN));
    EXPECT_TRUE(Eventually([&] {
        return !Checked(Ctl(IDC_AUDBTN)) && Text(Ctl(IDC_INFOTEXT)).empty() &&
               Enabled(IDC_FROMEXECBTN) && Enabled(IDC_SRCEDIT);
    }));
    // The slot was heard, and the sound stopped with the button.
    Sleep(1200);
    const std::vector<int16_t> heard = recorder.Stop();
    ASSERT_GT(heard.size(), 31250u * 2) << "the recording is too short";
    EXPECT_GT(Peak(heard, 0, heard.size()), 1000) << "the slot was not heard";
    EXPECT_LT(Peak(heard, heard.size() - 12500, heard.size()), 50) << "the sound went on";
    std::error_code ec;
    fs::remove_all(Fs(card), ec);
}

// The display's scale the test runs at (the prefix's LogPixels), 96 unless told.
int TestDpi() {
    const char* dpi = std::getenv("BRELKA_TEST_DPI");
    return dpi ? std::atoi(dpi) : layout::kDesignDpi;
}

// Room a control leaves its caption: a button's edges, the box of a check box or radio button,
// a group box's frame either side of its caption.
int CaptionRoom(const layout::MainControl& c, int width, int dpi) {
    switch (c.kind) {
    case layout::Kind::PushButton:
        return width - layout::Scaled(4, dpi);
    case layout::Kind::CheckBox:
    case layout::Kind::RadioButton:
        return width - layout::Scaled(16, dpi);
    case layout::Kind::GroupBox:
        return width - layout::Scaled(16, dpi);
    default:
        return width;
    }
}

int TextWidth(HFONT font, const std::string& text) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    const std::wstring wide = Wide(text);
    SIZE extent{};
    GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &extent);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return extent.cx;
}

// Every control where the table puts it scaled to dpi, and every caption within its control
// in the font the window gives it at that scale.
void ExpectFormAt(HWND window, int dpi) {
    SCOPED_TRACE("at " + std::to_string(dpi) + " DPI");
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, layout::Scaled(layout::kWindowSize.width, dpi));
    EXPECT_EQ(client.bottom, layout::Scaled(layout::kWindowSize.height, dpi));
    // At the usual scales of 100, 150 and 200 %:
    const std::map<int, std::pair<int, int>> known = {
        {96, {356, 278}}, {144, {534, 417}}, {192, {712, 556}}};
    if (known.count(dpi)) {
        EXPECT_EQ(std::make_pair(static_cast<int>(client.right), static_cast<int>(client.bottom)),
                  known.at(dpi));
    }
    for (const layout::MainControl& c : layout::MainControls()) {
        SCOPED_TRACE(c.name);
        const RECT r = PlaceInParent(GetDlgItem(window, IDC_SRCEDIT + layout::PartIndex(c.part)));
        const layout::Rect place = layout::WindowPlace(c, dpi);
        EXPECT_EQ(r.left, place.left);
        EXPECT_EQ(r.top, place.top);
        EXPECT_EQ(r.right - r.left, place.width);
        if (c.listHeight == 0) {
            EXPECT_EQ(r.bottom - r.top, place.height);
        }
        if (c.kind == layout::Kind::FolderEdit || c.kind == layout::Kind::SlotCombo) continue;
        const std::wstring caption = Wide(c.caption);
        HFONT font = c.kind == layout::Kind::Label
                         ? brelka::FittedFont(c.font, dpi, caption.c_str(), place.width)
                         : brelka::FormFont(c.font, dpi);
        EXPECT_LE(TextWidth(font, c.caption), CaptionRoom(c, place.width, dpi)) << c.caption;
        // The length label's widest length as well as its caption.
        if (c.part == layout::Part::LenLabel) {
            EXPECT_LE(TextWidth(font, "0:00:147"), place.width);
        }
    }
}

// The form follows the display's scale: at start, at the prefix's scale; when the window is
// told that its monitor's scale changed, at that one and back again. The open dialog's panel
// the same. Pictures of both at the test's scale land beside the others.
TEST_F(MainWindow, FollowsTheDisplaysScale) {
    const int dpi = TestDpi();
    ExpectFormAt(window_, dpi);
    Shot(window_, "window-scale-" + std::to_string(dpi));
    if (dpi == layout::kDesignDpi) {
        // Without a frame of the system's, the window keeps its place and sizes its frame.
        for (int other : {192, layout::kDesignDpi}) {
            PostMessageW(window_, WM_DPICHANGED, MAKEWPARAM(other, other), 0);
            ASSERT_TRUE(Eventually([&] {
                RECT client{};
                GetClientRect(window_, &client);
                return client.right == layout::Scaled(layout::kWindowSize.width, other);
            }));
            ExpectFormAt(window_, other);
        }
    }

    const Scratch dirs("scale");
    CopyCorpus(kStereoKick, dirs.src + "/kick.wav");
    ASSERT_NO_FATAL_FAILURE(ChooseFolder(dirs.card));
    ASSERT_NO_FATAL_FAILURE(Import(dirs.src + "/kick.wav", [&](HWND dlg) {
        HWND panel = FindChild(dlg, BRELKA_PANEL_CLASS);
        ASSERT_NE(panel, nullptr) << Describe(dlg);
        const RECT place = PlaceInParent(panel);
        EXPECT_GE(place.right - place.left, layout::Scaled(layout::kPanelSize.width, dpi));
        EXPECT_EQ(place.bottom - place.top, layout::Scaled(layout::kPanelSize.height, dpi));
        HFONT font = brelka::FormFont(layout::Font::Window, dpi);
        for (const layout::PanelControl& c : layout::PanelControls()) {
            SCOPED_TRACE(c.name);
            HWND w = GetDlgItem(panel, IDC_PANEL_BEVEL1 + static_cast<int>(c.part));
            const RECT r = PlaceInParent(w);
            const layout::Rect want = layout::Scaled(c.place, dpi);
            EXPECT_EQ(r.left, want.left);
            EXPECT_EQ(r.top, want.top);
            EXPECT_EQ(r.bottom - r.top, want.height);
            // The labels grow to show their texts.
            EXPECT_GE(r.right - r.left, want.width);
            if (c.kind == layout::Kind::Label) {
                EXPECT_LE(TextWidth(font, Text(w)), r.right - r.left) << Text(w);
            }
        }
        Shot(dlg, "window-open-dialog-" + std::to_string(dpi));
    }));
    ASSERT_TRUE(WaitJobEnd(SlotPath(dirs.card, 1)));
}

// The caption shows the program's own icon, the one its resources carry (made from the project's
// picture), not the system's blank one.
TEST_F(MainWindow, CaptionShowsTheProgramsIcon) {
    HMODULE exe = LoadLibraryExW(Wide(Exe()).c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(exe, nullptr);
    const int size = GetSystemMetrics(SM_CXSMICON);
    auto* icon = static_cast<HICON>(
        LoadImageW(exe, MAKEINTRESOURCEW(IDI_BRELKA), IMAGE_ICON, size, size, 0));
    ASSERT_NE(icon, nullptr) << "brelka.exe carries no icon";
    const Pixels own = IconPixels(icon);
    DestroyIcon(icon);
    FreeLibrary(exe);
    Shot(window_, "window-caption");
    // Somewhere at the caption's left end.
    EXPECT_TRUE(ContainsOpaque(WindowPixels(window_), own, 48, 40))
        << "the caption does not show the program's icon (see window-caption.png)";
}

// The open dialog starts with the keyboard in "File name": a path typed at once and Return
// import that file.
TEST_F(MainWindow, OpenDialogTakesATypedPathAtOnce) {
    const Scratch dirs("typed");
    WriteNoiseWav(dirs.src + "/typed.wav", 31250, 1, 20000);
    ASSERT_NO_FATAL_FAILURE(ChooseFolder(dirs.card));
    ASSERT_NO_FATAL_FAILURE(TypeSlot("09"));
    Click(Ctl(IDC_FROMEXECBTN));
    HWND dlg = WaitDialog();
    ASSERT_NE(dlg, nullptr) << "no open dialog";
    // The user types where the keyboard is as soon as the dialog shows.
    HWND typed = nullptr;
    ASSERT_TRUE(Eventually([&] {
        return (typed = FocusOf(dlg)) != nullptr && IsChild(dlg, typed);
    })) << Describe(dlg);
    for (wchar_t c : Wide(Native(dirs.src + "/typed.wav")))
        PostMessageW(typed, WM_CHAR, c, 1);
    Key(typed, VK_RETURN);
    EXPECT_TRUE(WaitDialogGone(dlg)) << "Return did not confirm the dialog";
    EXPECT_TRUE(WaitJobEnd(SlotPath(dirs.card, 9))) << "the typed file was not imported";
}

// When a job ends, the keyboard is back on the button that started it; "Hear the Sound" never
// takes it (Space then does not stop the slot).
TEST_F(MainWindow, KeyboardFocusFollowsTheButtonsAsInTheQtWindow) {
    const Scratch dirs("focus");
    WriteNoiseWav(dirs.src + "/ten.wav", 31250, 1, 312500);
    ASSERT_NO_FATAL_FAILURE(ChooseFolder(dirs.card));
    ASSERT_NO_FATAL_FAILURE(TypeSlot("01"));
    MouseClick(Ctl(IDC_FROMEXECBTN)); // as a user: the press gives the button the focus
    HWND dlg = WaitDialog();
    ASSERT_NE(dlg, nullptr);
    Enter(dlg, Native(dirs.src + "/ten.wav"));
    ASSERT_TRUE(WaitDialogGone(dlg));
    ASSERT_TRUE(WaitJobEnd(SlotPath(dirs.card, 1)));
    EXPECT_TRUE(Eventually([&] { return FocusedId() == IDC_FROMEXECBTN; }, 5000))
        << "after the import the focus is at " << FocusedId();

    MouseClick(Ctl(IDC_TOEXECBTN));
    dlg = WaitDialog();
    ASSERT_NE(dlg, nullptr);
    Enter(dlg, Native(dirs.work + "/slot01.wav"));
    ASSERT_TRUE(WaitDialogGone(dlg));
    ASSERT_TRUE(WaitJobEnd(dirs.work + "/slot01.wav"));
    EXPECT_TRUE(Eventually([&] { return FocusedId() == IDC_TOEXECBTN; }, 5000))
        << "after the export the focus is at " << FocusedId();

    ASSERT_TRUE(Eventually([&] { return Enabled(IDC_AUDBTN); }));
    MouseClick(Ctl(IDC_AUDBTN));
    ASSERT_TRUE(Eventually([&] { return Text(Ctl(IDC_INFOTEXT)) == "Audio playing..."; }));
    // The window has taken the keyboard from the buttons it disabled; Space goes where it is.
    ASSERT_TRUE(
        Eventually([&] { return !Enabled(IDC_TOEXECBTN) && FocusedId() != IDC_TOEXECBTN; }));
    EXPECT_NE(FocusedId(), IDC_AUDBTN) << "the click gave the focus to the button";
    Key(Focus() ? Focus() : window_, VK_SPACE);
    Sleep(500);
    EXPECT_TRUE(Checked(Ctl(IDC_AUDBTN))) << "Space stopped the slot";
    EXPECT_EQ(Text(Ctl(IDC_INFOTEXT)), "Audio playing...");
    MouseClick(Ctl(IDC_AUDBTN));
    EXPECT_TRUE(Eventually([&] { return !Checked(Ctl(IDC_AUDBTN)) && Enabled(IDC_SRCEDIT); }))
        << Text(Ctl(IDC_INFOTEXT)) << " " << Describe(OwnedDialog(window_));
}

// brelka.exe beside an engine that throws when a job begins.
class MainWindowWithFailingEngine : public MainWindow {
  protected:
    std::string Exe() override {
        const std::string folder = kBuild + "/failing-engine";
        CopyFileW(Wide(kBin + "/brelka.exe").c_str(), Wide(folder + "/brelka.exe").c_str(), FALSE);
        return folder + "/brelka.exe";
    }
};

// An exception inside a handler is shown, and the window carries on: the job's controls come
// back, the slot stays as it was, and the next import works.
TEST_F(MainWindowWithFailingEngine, ShowsAnExceptionAndCarriesOn) {
    const Scratch dirs("exception");
    WriteNoiseWav(dirs.src + "/noise.wav", 44100, 1, 20000);
    ASSERT_NO_FATAL_FAILURE(ChooseFolder(dirs.card));
    ASSERT_NO_FATAL_FAILURE(TypeSlot("02"));
    ASSERT_NO_FATAL_FAILURE(Choose(2, 2)); // Light: the engine's
    ASSERT_NO_FATAL_FAILURE(Import(dirs.src + "/noise.wav"));
    HWND box = WaitDialog();
    ASSERT_NE(box, nullptr) << "no message";
    EXPECT_EQ(Text(GetDlgItem(box, 0xFFFF)), "The engine failed to start.") << Describe(box);
    Click(GetDlgItem(box, IDOK));
    ASSERT_TRUE(WaitDialogGone(box));
    EXPECT_TRUE(WaitJobEnd()) << "the window stays busy";
    EXPECT_TRUE(Enabled(IDC_SRCEDIT));
    EXPECT_FALSE(Enabled(IDC_ABORTBTN));
    EXPECT_FALSE(testsupport::FileExists(SlotPath(dirs.card, 2)));

    ASSERT_NO_FATAL_FAILURE(TypeSlot("03"));
    ASSERT_NO_FATAL_FAILURE(Choose(2, 0));
    ASSERT_NO_FATAL_FAILURE(Import(dirs.src + "/noise.wav"));
    EXPECT_TRUE(WaitJobEnd(SlotPath(dirs.card, 3)))
        << "the next import did not work: " << Describe(OwnedDialog(window_));
}

// ---- The card view.

// The user at the card view beside the main window.
class CardView : public MainWindow {
  protected:
    // The window is brought to the front, with the keyboard in it, as a click on it does:
    // what is typed then goes to it.
    static void Activate(HWND window) {
        ASSERT_TRUE(Eventually(
            [&] {
                if (GetForegroundWindow() != window) SetForegroundWindow(window);
                HWND focus = FocusOf(window);
                return GetForegroundWindow() == window &&
                       (focus == window || IsChild(window, focus));
            },
            10000))
            << "the window does not come to the front";
    }
    // "Card View..." by its shortcut in the main window; the view shows, raised.
    void OpenCardView() {
        ASSERT_NO_FATAL_FAILURE(Activate(window_));
        EXPECT_EQ(CardMenuItem(window_, 0).text, "Card View...\tCtrl+K");
        PressKeys({VK_CONTROL, 'K'});
        ASSERT_TRUE(Eventually([&] {
            card_ = FindWindowW(BRELKA_CARD_CLASS, nullptr);
            return card_ && IsWindowVisible(card_);
        })) << "Ctrl+K showed no card view";
        list_ = GetDlgItem(card_, IDC_CARD_LIST);
        ASSERT_EQ(SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0), 60);
        Settle();
    }
    // Waits until the view stays where it is: the window manager may still move a window just
    // shown, and a point taken before would then be over another row.
    void Settle() const { SettleWindow(card_, list_); }
    static void SettleWindow(HWND window, HWND list = nullptr) {
        RECT last{};
        int top = -1, still = 0;
        Eventually(
            [&] {
                RECT now{};
                GetWindowRect(window, &now);
                const int first =
                    list ? static_cast<int>(SendMessageW(list, LVM_GETTOPINDEX, 0, 0)) : 0;
                const bool same = EqualRect(&now, &last) && first == top;
                last = now;
                top = first;
                still = same ? still + 1 : 0;
                Sleep(50);
                return still >= 6;
            },
            5000);
    }
    std::string Name(int slot) const { return ListText(list_, slot - 1, 1); }
    std::string Length(int slot) const { return ListText(list_, slot - 1, 2); }
    // A point of the row's name, in the list's client area.
    POINT RowPoint(int slot) const {
        const RECT r = ListItemRect(list_, slot - 1);
        return {r.left + layout::Scaled(60, TestDpi()), (r.top + r.bottom) / 2};
    }
    void ClickRow(int slot) const {
        const POINT p = RowPoint(slot);
        ClickAt(list_, p.x, p.y);
    }
    // Files dropped at a point of a window's client area as the file manager drops them.
    static void DropAt(HWND window, POINT at, const std::vector<std::string>& paths) {
        ASSERT_NO_FATAL_FAILURE(Activate(GetAncestor(window, GA_ROOT)));
        // Activating a window may still move it (the window manager keeps it on the screen): the
        // point is taken once it stays.
        SettleWindow(GetAncestor(window, GA_ROOT));
        ClientToScreen(window, &at);
        HWND there = WindowFromPoint(at);
        ASSERT_TRUE(there == window || IsChild(window, there)) << "the window is not at the place";
        ASSERT_TRUE(DropFiles(at, paths)) << "the window did not take the drop";
    }
    void DropOnto(int slot, const std::vector<std::string>& paths) const {
        Settle();
        DropAt(list_, RowPoint(slot), paths);
    }
    // A row pressed, dragged with the button held and let go over another.
    void DragRow(int from, int to) const {
        const POINT a = RowPoint(from), b = RowPoint(to);
        PostMessageW(list_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(a.x, a.y));
        for (int step = 1; step <= 8; ++step) {
            Sleep(30);
            const int y = a.y + (b.y - a.y) * step / 8;
            PostMessageW(list_, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(a.x + step, y));
        }
        Sleep(30);
        PostMessageW(list_, WM_LBUTTONUP, 0, MAKELPARAM(b.x, b.y));
    }
    // The item of a window's "Card" menu reads text and is enabled or greyed, once the
    // window's idle hook has updated it.
    static bool MenuSays(HWND window, int item, const std::string& text, bool enabled) {
        MenuItemState state;
        const bool said = Eventually(
            [&] {
                state = CardMenuItem(window, item);
                return state.text == text && state.enabled == enabled;
            },
            10000);
        if (!said)
            ADD_FAILURE() << "menu item " << item << ": \"" << state.text << "\" "
                          << (state.enabled ? "enabled" : "greyed") << ", not \"" << text << "\" "
                          << (enabled ? "enabled" : "greyed");
        return said;
    }
    // The message box the view shows, once it does.
    HWND WaitBox() const {
        HWND box = nullptr;
        Eventually([&] { return (box = OwnedDialog(card_)) != nullptr; }, 15000);
        return box;
    }

    HWND card_ = nullptr, list_ = nullptr;
};

// Three files dropped onto row 05 land in 05-07 in name order, named after them; a row dragged
// onto an empty one moves there, onto a used one swaps with it, the names going along; F2
// renames in place; Del clears after a question; the main window's slot list and length follow.
TEST_F(CardView, FillsMovesSwapsRenamesAndClearsTheCard) {
    const Scratch dirs("cardview");
    WriteNoiseWav(dirs.src + "/kick.wav", 31250, 1, 4000, 25);
    WriteNoiseWav(dirs.src + "/snare.wav", 44100, 2, 5000, 15);
    WriteNoiseWav(dirs.src + "/hat.wav", 31250, 1, 3000, 40);
    ASSERT_NO_FATAL_FAILURE(ChooseFolder(dirs.card));
    ASSERT_NO_FATAL_FAILURE(OpenCardView());
    EXPECT_EQ(Name(5), "(empty)");
    EXPECT_EQ(Text(GetDlgItem(card_, IDC_CARD_STATUS)).rfind("0 of 60 slots used", 0), 0u)
        << Text(GetDlgItem(card_, IDC_CARD_STATUS));

    ASSERT_NO_FATAL_FAILURE(
        DropOnto(5, {dirs.src + "/kick.wav", dirs.src + "/snare.wav", dirs.src + "/hat.wav"}));
    ASSERT_TRUE(Eventually([&] {
        return Name(5) == "hat" && Name(6) == "kick" && Name(7) == "snare";
    })) << Name(5)
        << " " << Name(6) << " " << Name(7) << "; status \""
        << Text(GetDlgItem(card_, IDC_CARD_STATUS)) << "\"; message box \""
        << Text(GetDlgItem(OwnedDialog(card_), 0xFFFF)) << "\"; rows " << [&] {
               std::string used;
               for (int slot = 1; slot <= 60; ++slot)
                   if (Name(slot) != "(empty)")
                       used += std::to_string(slot) + "=" + Name(slot) + " ";
               return used;
           }();
    for (int slot : {5, 6, 7})
        EXPECT_TRUE(testsupport::FileExists(SlotPath(dirs.card, slot))) << slot;
    EXPECT_EQ(SendMessageW(Ctl(IDC_SAMPLELIST), CB_GETCOUNT, 0, 0), 3);
    MenuSays(card_, 2, "Undo Import into 05-07\tCtrl+Z", true);
    Shot(card_, "window-card-view");

    const std::vector<uint8_t> hat = testsupport::ReadBytes(SlotPath(dirs.card, 5));
    const std::vector<uint8_t> kick = testsupport::ReadBytes(SlotPath(dirs.card, 6));
    DragRow(5, 20);
    ASSERT_TRUE(Eventually([&] { return Name(20) == "hat" && Name(5) == "(empty)"; }))
        << Name(20) << " " << Name(5);
    EXPECT_FALSE(testsupport::FileExists(SlotPath(dirs.card, 5)));
    EXPECT_EQ(testsupport::ReadBytes(SlotPath(dirs.card, 20)), hat);

    DragRow(6, 20);
    ASSERT_TRUE(Eventually([&] { return Name(20) == "kick" && Name(6) == "hat"; }))
        << Name(20) << " " << Name(6);
    EXPECT_EQ(testsupport::ReadBytes(SlotPath(dirs.card, 20)), kick);
    EXPECT_EQ(testsupport::ReadBytes(SlotPath(dirs.card, 6)), hat);

    ClickRow(7);
    Key(list_, VK_F2);
    HWND edit = nullptr;
    ASSERT_TRUE(Eventually([&] { return (edit = FindChild(list_, L"Edit")) != nullptr; }))
        << "F2 began no edit of the name";
    EXPECT_EQ(Text(edit), "snare");
    Type(edit, "Snare Top");
    ASSERT_TRUE(Eventually([&] { return Text(edit) == "Snare Top"; }));
    Key(edit, VK_RETURN);
    ASSERT_TRUE(Eventually([&] { return Name(7) == "Snare Top"; })) << Name(7);

    // The main window shows slot 06; clearing it in the view empties its length there too.
    ASSERT_NO_FATAL_FAILURE(TypeSlot("06"));
    ASSERT_TRUE(Eventually([&] { return Text(Ctl(IDC_LENLABEL)) == Length(6); }))
        << Text(Ctl(IDC_LENLABEL)) << " " << Length(6);
    ClickRow(6);
    Key(list_, VK_DELETE);
    HWND box = WaitBox();
    ASSERT_NE(box, nullptr) << "Del asked nothing";
    EXPECT_EQ(Text(GetDlgItem(box, 0xFFFF)).rfind("Clear slot 06?", 0), 0u)
        << Text(GetDlgItem(box, 0xFFFF));
    Click(GetDlgItem(box, IDYES));
    ASSERT_TRUE(WaitDialogGone(box));
    ASSERT_TRUE(Eventually([&] { return Name(6) == "(empty)"; })) << Name(6);
    EXPECT_FALSE(testsupport::FileExists(SlotPath(dirs.card, 6)));
    EXPECT_TRUE(Eventually([&] { return Text(Ctl(IDC_LENLABEL)) == "---:--:---"; }))
        << Text(Ctl(IDC_LENLABEL));
    EXPECT_EQ(SendMessageW(Ctl(IDC_SAMPLELIST), CB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(Text(GetDlgItem(card_, IDC_CARD_STATUS)).rfind("2 of 60 slots used", 0), 0u)
        << Text(GetDlgItem(card_, IDC_CARD_STATUS));
}

// A drop onto the main window, then one onto the same slot in the view: Ctrl+Z gives the old
// slot back byte for byte and Ctrl+Y the new one; the menus of both windows say what they would do
// and are greyed while a slot plays. The options dialog's choice shows in the menu and the status
// line.
TEST_F(CardView, UndoesAndRedoesWithTheKeysAndSaysSoInTheMenus) {
    const Scratch dirs("cardundo");
    WriteNoiseWav(dirs.src + "/old.wav", 31250, 1, 3000);
    WriteNoiseWav(dirs.src + "/new.wav", 31250, 1, 312500); // ten seconds: it still plays
    ASSERT_NO_FATAL_FAILURE(ChooseFolder(dirs.card));
    MenuSays(window_, 2, "Undo\tCtrl+Z", false);
    // A file dropped onto the main window goes into the slot it shows.
    const std::string slot = SlotPath(dirs.card, 20);
    ASSERT_NO_FATAL_FAILURE(TypeSlot("20"));
    ASSERT_NO_FATAL_FAILURE(
        DropAt(window_, {layout::Scaled(345, TestDpi()), 60}, {dirs.src + "/old.wav"}));
    ASSERT_TRUE(Eventually([&] { return testsupport::FileExists(slot); }))
        << "the main window took no drop";
    EXPECT_TRUE(
        Eventually([&] { return SendMessageW(Ctl(IDC_SAMPLELIST), CB_GETCOUNT, 0, 0) == 1; }));
    ASSERT_NO_FATAL_FAILURE(OpenCardView());
    ASSERT_TRUE(Eventually([&] { return Name(20) == "old"; })) << Name(20);
    const std::vector<uint8_t> before = testsupport::ReadBytes(slot);
    ASSERT_NO_FATAL_FAILURE(DropOnto(20, {dirs.src + "/new.wav"}));
    ASSERT_TRUE(Eventually([&] { return Name(20) == "new"; })) << Name(20);
    const std::vector<uint8_t> after = testsupport::ReadBytes(slot);
    ASSERT_NE(before, after);
    for (HWND w : {window_, card_}) {
        MenuSays(w, 2, "Undo Import into 20\tCtrl+Z", true);
        MenuSays(w, 3, "Redo\tCtrl+Y", false);
    }

    // The slot is read once the view shows the step done: a file the test held open while the
    // program replaces it would make the step fail, as another program holding it would.
    ASSERT_NO_FATAL_FAILURE(Activate(card_));
    PressKeys({VK_CONTROL, 'Z'});
    ASSERT_TRUE(Eventually([&] { return Name(20) == "old"; }))
        << "Ctrl+Z did not undo: " << Name(20) << " " << Describe(OwnedDialog(card_));
    EXPECT_EQ(testsupport::ReadBytes(slot), before) << "the old slot did not come back whole";
    for (HWND w : {window_, card_})
        MenuSays(w, 3, "Redo Import into 20\tCtrl+Y", true);
    ASSERT_NO_FATAL_FAILURE(Activate(card_));
    PressKeys({VK_CONTROL, 'Y'});
    ASSERT_TRUE(Eventually([&] { return Name(20) == "new"; }))
        << "Ctrl+Y did not redo: " << Name(20) << " " << Describe(OwnedDialog(card_));
    EXPECT_EQ(testsupport::ReadBytes(slot), after) << "the new slot did not come back whole";

    // Enter plays the row: the menus are greyed until Esc stops it.
    ClickRow(20);
    Key(list_, VK_RETURN);
    for (HWND w : {card_, window_})
        MenuSays(w, 2, "Undo Import into 20\tCtrl+Z", false);
    Key(list_, VK_ESCAPE);
    MenuSays(window_, 2, "Undo Import into 20\tCtrl+Z", true);

    // Import Options: trim and normalize each sound, at their levels as they are.
    PostMessageW(card_, WM_COMMAND, MAKEWPARAM(IDM_CARD_FIRST + 1, 0), 0);
    HWND dlg = nullptr;
    ASSERT_TRUE(Eventually([&] { return (dlg = OwnedDialog(card_)) != nullptr; }))
        << "no options dialog";
    EXPECT_EQ(Text(dlg), layout::kImportOptionsCaption);
    EXPECT_EQ(Text(GetDlgItem(dlg, IDC_OPT_TRIMDB)), "-60");
    Click(GetDlgItem(dlg, IDC_OPT_TRIM));
    Click(GetDlgItem(dlg, IDC_OPT_EACH));
    ASSERT_TRUE(Eventually([&] { return Checked(GetDlgItem(dlg, IDC_OPT_EACH)); }));
    Click(GetDlgItem(dlg, IDOK));
    ASSERT_TRUE(WaitDialogGone(dlg));
    const std::string summary = "trim, normalize \xe2\x88\x92"
                                "0.3 dB";
    MenuSays(window_, 1, "Import Options (" + summary + ")...", true);
    EXPECT_NE(Text(GetDlgItem(card_, IDC_CARD_STATUS)).find(summary), std::string::npos)
        << Text(GetDlgItem(card_, IDC_CARD_STATUS));
    Shot(window_, "window-menu-bar");
}

// "Back Up Card..." writes each used slot as "NN name.wav" into the folder chosen; after a
// clear, "Restore Card..." from it, once confirmed, gives back every slot file byte for byte
// with its name. The context menu's "Export..." writes the selected rows to a folder.
TEST_F(CardView, BacksUpRestoresAndExportsFromTheMenus) {
    const Scratch dirs("cardbackup");
    const std::string backup = dirs.work + "/backup";
    FreshFolder(backup);
    WriteNoiseWav(dirs.src + "/kick.wav", 31250, 1, 4000, 25);
    WriteNoiseWav(dirs.src + "/snare.wav", 44100, 2, 5000, 15);
    ASSERT_NO_FATAL_FAILURE(ChooseFolder(dirs.card));
    ASSERT_NO_FATAL_FAILURE(OpenCardView());
    ASSERT_NO_FATAL_FAILURE(DropOnto(3, {dirs.src + "/kick.wav", dirs.src + "/snare.wav"}));
    ASSERT_TRUE(Eventually([&] { return Name(3) == "kick" && Name(4) == "snare"; }))
        << Name(3) << " " << Name(4);
    const std::vector<uint8_t> kick = testsupport::ReadBytes(SlotPath(dirs.card, 3));
    const std::vector<uint8_t> snare = testsupport::ReadBytes(SlotPath(dirs.card, 4));
    // A command of the view's Card menu, and the dialog it opens.
    // Items of the Card menu, from 0: 4 "Back Up Card...", 5 "Restore Card...".
    const auto command = [&](UINT item) {
        PostMessageW(card_, WM_COMMAND, MAKEWPARAM(IDM_CARD_FIRST + item, 0), 0);
    };
    const auto dialog = [&] {
        HWND dlg = nullptr;
        Eventually([&] { return (dlg = OwnedDialog(card_)) || (dlg = OwnedDialog(window_)); },
                   15000);
        return dlg;
    };

    command(4);
    ASSERT_NO_FATAL_FAILURE(PickFolder(dialog(), backup));
    HWND box = WaitBox();
    ASSERT_NE(box, nullptr) << "the backup said nothing";
    EXPECT_EQ(Text(GetDlgItem(box, 0xFFFF)).rfind("2 slots backed up to ", 0), 0u)
        << Text(GetDlgItem(box, 0xFFFF));
    Click(GetDlgItem(box, IDOK));
    ASSERT_TRUE(WaitDialogGone(box));
    EXPECT_TRUE(testsupport::FileExists(backup + "/03 kick.wav"));
    EXPECT_TRUE(testsupport::FileExists(backup + "/04 snare.wav"));

    ClickRow(3);
    Key(list_, VK_DELETE);
    box = WaitBox();
    ASSERT_NE(box, nullptr) << "Del asked nothing";
    Click(GetDlgItem(box, IDYES));
    ASSERT_TRUE(WaitDialogGone(box));
    ASSERT_TRUE(Eventually([&] { return Name(3) == "(empty)"; })) << Name(3);

    command(5);
    ASSERT_NO_FATAL_FAILURE(PickFolder(dialog(), backup));
    box = WaitBox();
    ASSERT_NE(box, nullptr) << "the restore asked nothing";
    EXPECT_EQ(Text(GetDlgItem(box, 0xFFFF)).rfind("Restore 2 slots from ", 0), 0u)
        << Text(GetDlgItem(box, 0xFFFF));
    Click(GetDlgItem(box, IDYES));
    ASSERT_TRUE(WaitDialogGone(box));
    ASSERT_TRUE(Eventually([&] { return Name(3) == "kick"; }))
        << Name(3) << " " << Describe(OwnedDialog(card_));
    EXPECT_EQ(testsupport::ReadBytes(SlotPath(dirs.card, 3)), kick);
    EXPECT_EQ(testsupport::ReadBytes(SlotPath(dirs.card, 4)), snare);
    MenuSays(card_, 2, "Undo Restore Card\tCtrl+Z", true);

    // Both rows selected, the context menu from the keyboard: "Export..." (second from the
    // end) writes each into the folder chosen as "NN name.wav".
    const std::string exported = dirs.work + "/exported";
    FreshFolder(exported);
    ClickRow(3);
    const POINT four = RowPoint(4);
    PostMessageW(list_, WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, MAKELPARAM(four.x, four.y));
    PostMessageW(list_, WM_LBUTTONUP, MK_SHIFT, MAKELPARAM(four.x, four.y));
    ASSERT_TRUE(Eventually([&] { return SendMessageW(list_, LVM_GETSELECTEDCOUNT, 0, 0) == 2; }));
    PostMessageW(card_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list_), MAKELPARAM(-1, -1));
    HWND menu = nullptr;
    ASSERT_TRUE(Eventually([&] {
        menu = FindWindowW(L"#32768", nullptr);
        return menu && IsWindowVisible(menu);
    })) << "no context menu";
    for (int key : {VK_UP, VK_UP, VK_RETURN})
        Key(menu, static_cast<WORD>(key));
    ASSERT_NO_FATAL_FAILURE(PickFolder(dialog(), exported));
    EXPECT_TRUE(Eventually([&] {
        return testsupport::FileExists(exported + "/03 kick.wav") &&
               testsupport::FileExists(exported + "/04 snare.wav");
    })) << "the export wrote no files; "
        << Describe(OwnedDialog(card_));
}

// The card view at the display's scale: its client area, its rows' height and its fonts follow
// it as the main window's form does. A picture of it at the test's scale lands beside the
// others.
TEST_F(CardView, FollowsTheDisplaysScale) {
    const int dpi = TestDpi();
    const Scratch dirs("cardscale");
    WriteNoiseWav(dirs.src + "/kick.wav", 31250, 1, 4000, 25);
    ASSERT_NO_FATAL_FAILURE(ChooseFolder(dirs.card));
    ASSERT_NO_FATAL_FAILURE(OpenCardView());
    ASSERT_NO_FATAL_FAILURE(DropOnto(1, {dirs.src + "/kick.wav"}));
    ASSERT_TRUE(Eventually([&] { return Name(1) == "kick"; })) << Name(1);
    RECT client{};
    GetClientRect(card_, &client);
    EXPECT_EQ(client.right, layout::Scaled(layout::kCardViewSize.width, dpi));
    EXPECT_EQ(client.bottom, layout::Scaled(layout::kCardViewSize.height, dpi));
    // The rows are as high as the form's, at this scale (the list adds a pixel of its own).
    const RECT row = ListItemRect(list_, 0);
    EXPECT_GE(row.bottom - row.top, layout::Scaled(layout::kCardRowHeight, dpi));
    EXPECT_LE(row.bottom - row.top, layout::Scaled(layout::kCardRowHeight, dpi) + 1);
    // The status line holds its text in the form's font at this scale.
    HWND status = GetDlgItem(card_, IDC_CARD_STATUS);
    EXPECT_LE(TextWidth(brelka::FormFont(layout::Font::Window, dpi), Text(status)),
              PlaceInParent(status).right - PlaceInParent(status).left);
    Shot(card_, "window-card-view-" + std::to_string(dpi));
}

} // namespace
