#include "GuiTestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "Application.h"
#include "MainWin.h"
#include "SampleFile.h"

namespace {

// One application object for all tests of the program.
class QtEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        app_ = new TApplication(argc_, argv_);
    }
    void TearDown() override {
        delete app_;
        app_ = nullptr;
    }

  private:
    int argc_ = 1;
    char name_[16] = "gui_tests";
    char* argv_[2] = {name_, nullptr};
    TApplication* app_ = nullptr;
};

::testing::Environment* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

void PutU16BE(std::vector<uint8_t>& b, uint32_t v) {
    b.push_back(static_cast<uint8_t>(v >> 8));
    b.push_back(static_cast<uint8_t>(v));
}
void PutU32BE(std::vector<uint8_t>& b, uint32_t v) {
    PutU16BE(b, v >> 16);
    PutU16BE(b, v & 0xFFFF);
}
void PutU16LE(std::vector<uint8_t>& b, uint32_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void PutU32LE(std::vector<uint8_t>& b, uint32_t v) {
    PutU16LE(b, v & 0xFFFF);
    PutU16LE(b, v >> 16);
}
void PutText(std::vector<uint8_t>& b, const char* s) {
    while (*s)
        b.push_back(static_cast<uint8_t>(*s++));
}

class SlowCore : public brelka::MainWindowCore {
  public:
    using MainWindowCore::MainWindowCore;
    bool UpdateJobProgress(int k, int n, uint32_t start, uint32_t& last) override {
        QThread::msleep(2);
        return MainWindowCore::UpdateJobProgress(k, n, start, last);
    }
};

} // namespace

namespace guitest {

SlowMainWin::SlowMainWin()
    : TMainWin(
          [](brelka::MainWindowToolkit& toolkit, brelka::WaveWindow& window) {
              return std::make_unique<SlowCore>(toolkit, window);
          },
          nullptr) {}

int RunWithModals(const std::function<void()>& action, const std::vector<ModalStep>& steps) {
    size_t next = 0;
    QWidget* handled = nullptr;
    QElapsedTimer since;
    // A fresh single-shot timer for each look: a timer does not fire again while its own
    // handler runs, and a step may open a nested modal window (a question inside a dialog).
    QObject context;
    std::function<void()> look;
    look = [&] {
        QTimer::singleShot(10, &context, look);
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible()) return;
        if (modal != handled && next < steps.size()) {
            handled = modal;
            since.start();
            steps[next++](modal);
            return;
        }
        if (modal != handled) {
            handled = modal;
            since.start();
        }
        if (since.elapsed() > 5000) {
            ADD_FAILURE() << "a modal window stayed up: " << modal->metaObject()->className();
            if (auto* dlg = qobject_cast<QDialog*>(modal))
                dlg->reject();
            else
                modal->close();
        }
    };
    QTimer::singleShot(10, &context, look);
    action();
    return static_cast<int>(next);
}

void AcceptFileDialog(QWidget* dialog, const QString& path) {
    auto* dlg = qobject_cast<QFileDialog*>(dialog);
    ASSERT_NE(dlg, nullptr) << dialog->metaObject()->className();
    if (auto* view = dlg->findChild<QListView*>(QStringLiteral("listView"))) view->clearSelection();
    const QFileInfo info(path);
    dlg->setDirectory(info.absolutePath());
    auto* edit = dlg->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(edit, nullptr);
    edit->setText(info.fileName());
    static_cast<QDialog*>(dlg)->accept();
    if (dlg->isVisible()) {
        ADD_FAILURE() << "the dialog refused " << path.toStdString();
        dlg->reject();
    }
}

void AcceptFolderDialog(QWidget* dialog, const QString& folder) {
    auto* dlg = qobject_cast<QFileDialog*>(dialog);
    ASSERT_NE(dlg, nullptr) << dialog->metaObject()->className();
    dlg->setDirectory(folder);
    static_cast<QDialog*>(dlg)->accept();
    if (dlg->isVisible()) {
        ADD_FAILURE() << "the folder dialog refused " << folder.toStdString();
        dlg->reject();
    }
}

void SelectInFileDialog(QWidget* dialog, const QString& path) {
    auto* dlg = qobject_cast<QFileDialog*>(dialog);
    ASSERT_NE(dlg, nullptr);
    auto* view = dlg->findChild<QListView*>(QStringLiteral("listView"));
    auto* model = dlg->findChild<QFileSystemModel*>();
    ASSERT_NE(view, nullptr);
    ASSERT_NE(model, nullptr);
    dlg->setDirectory(QFileInfo(path).absolutePath());
    const QModelIndex index = model->index(QFileInfo(path).absoluteFilePath());
    ASSERT_TRUE(index.isValid()) << path.toStdString();
    view->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
}

void Reject(QWidget* dialog) {
    if (auto* dlg = qobject_cast<QDialog*>(dialog)) dlg->reject();
}

QString MessageText(QWidget* box) {
    auto* mb = qobject_cast<QMessageBox*>(box);
    return mb ? mb->text() : QString();
}

void ChooseFolder(TMainWin& win, const std::string& folder) {
    const int ran =
        RunWithModals([&] { win.SrcEditClick(); },
                      {[&](QWidget* d) { AcceptFolderDialog(d, QString::fromStdString(folder)); }});
    ASSERT_EQ(ran, 1);
}

void SpinEventLoop(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void WriteSlot(const std::string& path, const std::vector<int16_t>& samples) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    ASSERT_TRUE(brelka::WriteSampleHeader(f));
    std::vector<uint8_t> bytes;
    for (int16_t s : samples)
        PutU16BE(bytes, static_cast<uint16_t>(s));
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

std::vector<int16_t> ReadSlotSamples(const std::string& path) {
    const std::vector<uint8_t> bytes = testsupport::ReadBytes(path);
    std::vector<int16_t> samples;
    for (size_t i = 512; i + 1 < bytes.size(); i += 2)
        samples.push_back(static_cast<int16_t>((bytes[i] << 8) | bytes[i + 1]));
    return samples;
}

bool HasValidSlotLayout(const std::string& path) {
    const std::vector<uint8_t> bytes = testsupport::ReadBytes(path);
    if (bytes.size() < 512 || (bytes.size() - 512) % 1024 != 0) return false;
    if (std::string(bytes.begin(), bytes.begin() + 44) != std::string(brelka::kHeaderText, 44))
        return false;
    if (bytes[44] != 0x1D || bytes[45] != 0x2E || bytes[46] != 0xF6) return false;
    for (size_t i = 47; i < 512; ++i)
        if (bytes[i] != 0) return false;
    return true;
}

void WriteWav(const std::string& path, int channels, uint32_t rate,
              const std::vector<int16_t>& samples) {
    std::vector<uint8_t> b;
    const auto dataBytes = static_cast<uint32_t>(samples.size() * 2);
    PutText(b, "RIFF");
    PutU32LE(b, 36 + dataBytes);
    PutText(b, "WAVEfmt ");
    PutU32LE(b, 16);
    PutU16LE(b, 1);
    PutU16LE(b, static_cast<uint32_t>(channels));
    PutU32LE(b, rate);
    PutU32LE(b, rate * static_cast<uint32_t>(channels) * 2);
    PutU16LE(b, static_cast<uint32_t>(channels) * 2);
    PutU16LE(b, 16);
    PutText(b, "data");
    PutU32LE(b, dataBytes);
    for (int16_t s : samples)
        PutU16LE(b, static_cast<uint16_t>(s));
    testsupport::WriteBytes(path, b);
}

void WriteAiff(const std::string& path, int channels, long double rate,
               const std::vector<int16_t>& samples) {
    std::vector<uint8_t> b;
    const auto frames = static_cast<uint32_t>(samples.size() / static_cast<size_t>(channels));
    const auto dataBytes = static_cast<uint32_t>(samples.size() * 2);
    PutText(b, "FORM");
    PutU32LE(b, 0); // patched below
    PutText(b, "AIFFCOMM");
    PutU32BE(b, 18);
    PutU16BE(b, static_cast<uint32_t>(channels));
    PutU32BE(b, frames);
    PutU16BE(b, 16);
    // 80-bit extended: sign and biased exponent, then the 64-bit significand.
    int exponent = 0;
    const long double fraction = std::frexp(rate, &exponent); // rate = fraction x 2^exponent
    const auto significand = static_cast<uint64_t>(std::ldexp(fraction, 64));
    PutU16BE(b, rate == 0 ? 0u : static_cast<uint32_t>(exponent - 1 + 16383));
    PutU32BE(b, static_cast<uint32_t>(significand >> 32));
    PutU32BE(b, static_cast<uint32_t>(significand & 0xFFFFFFFFu));
    PutText(b, "SSND");
    PutU32BE(b, 8 + dataBytes);
    PutU32BE(b, 0);
    PutU32BE(b, 0);
    for (int16_t s : samples)
        PutU16BE(b, static_cast<uint16_t>(s));
    const auto formSize = static_cast<uint32_t>(b.size() - 8);
    b[4] = static_cast<uint8_t>(formSize >> 24);
    b[5] = static_cast<uint8_t>(formSize >> 16);
    b[6] = static_cast<uint8_t>(formSize >> 8);
    b[7] = static_cast<uint8_t>(formSize);
    testsupport::WriteBytes(path, b);
}

std::vector<int16_t> SoxSamples(const std::string& path, int channel) {
    testsupport::TempDir tmp;
    const std::string raw = tmp.file("out.raw");
    const std::string cmd = "sox " + testsupport::Quote(path) + " -t raw -e signed -b 16 -L " +
                            testsupport::Quote(raw) + " remix " + std::to_string(channel + 1) +
                            " 2>&1";
    const testsupport::CommandResult r = testsupport::Run(cmd);
    EXPECT_EQ(r.status, 0) << cmd << "\n" << r.out;
    return testsupport::ReadRawS16LE(raw);
}

std::string SoxInfo(const std::string& path, const char* option) {
    testsupport::CommandResult r =
        testsupport::Run(std::string("sox --i ") + option + " " + testsupport::Quote(path));
    while (!r.out.empty() && (r.out.back() == '\n' || r.out.back() == '\r'))
        r.out.pop_back();
    return r.out;
}

std::vector<int16_t> Ramp(size_t count, int step) {
    std::vector<int16_t> v(count);
    for (size_t i = 0; i < count; ++i)
        v[i] =
            static_cast<int16_t>(static_cast<int>((i * static_cast<size_t>(step)) % 60000) - 30000);
    return v;
}

} // namespace guitest
