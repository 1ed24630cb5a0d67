#include "ImportOptionsDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

#include "FrontText.h"
#include "WindowLayout.h"

namespace {

QString Text(const char* text) {
    return QString::fromUtf8(text);
}

QLineEdit* Field(const char* name, QWidget* parent) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(QString::fromLatin1(name));
    field->setMaximumWidth(64);
    field->setAlignment(Qt::AlignRight);
    return field;
}

} // namespace

TImportOptionsDialog::TImportOptionsDialog(QWidget* parent) : QDialog(parent) {
    const brelka::layout::OptionsTexts& t = brelka::layout::kOptionsTexts;
    setObjectName(QStringLiteral("ImportOptions"));
    setWindowTitle(Text(brelka::layout::kImportOptionsCaption));
    setFont(WindowFont());
    setModal(true);

    auto* grid = new QGridLayout;
    int row = 0;
    // A row: the check box or radio button, its field and its unit.
    auto addRow = [&](QWidget* choice, QLineEdit* field, const char* unit) {
        grid->addWidget(choice, row, 0);
        if (field) {
            grid->addWidget(field, row, 1);
            grid->addWidget(new QLabel(Text(unit), this), row, 2);
        }
        ++row;
    };
    TrimCheck = new QCheckBox(Text(t.trim), this);
    TrimCheck->setObjectName(QStringLiteral("TrimCheck"));
    TrimDb = Field("TrimDb", this);
    addRow(TrimCheck, TrimDb, t.dbfs);

    NormalizeItems = new QButtonGroup(this);
    NormalizeDb = Field("NormalizeDb", this);
    const char* const normalize[] = {t.normalizeOff, t.normalizeEach, t.normalizeKit};
    const char* const names[] = {"NormalizeOff", "NormalizeEach", "NormalizeKit"};
    for (int i = 0; i < 3; ++i) {
        auto* button = new QRadioButton(Text(normalize[i]), this);
        button->setObjectName(QString::fromLatin1(names[i]));
        NormalizeItems->addButton(button, i);
        addRow(button, nullptr, nullptr);
    }
    // The level belongs to both ways of normalizing: beside the first of them.
    grid->addWidget(NormalizeDb, row - 2, 1, 2, 1, Qt::AlignVCenter);
    grid->addWidget(new QLabel(Text(t.dbfs), this), row - 2, 2, 2, 1, Qt::AlignVCenter);

    FadeInCheck = new QCheckBox(Text(t.fadeIn), this);
    FadeInCheck->setObjectName(QStringLiteral("FadeInCheck"));
    FadeInMs = Field("FadeInMs", this);
    addRow(FadeInCheck, FadeInMs, t.ms);
    FadeOutCheck = new QCheckBox(Text(t.fadeOut), this);
    FadeOutCheck->setObjectName(QStringLiteral("FadeOutCheck"));
    FadeOutMs = Field("FadeOutMs", this);
    addRow(FadeOutCheck, FadeOutMs, t.ms);
    DitherCheck = new QCheckBox(Text(t.dither), this);
    DitherCheck->setObjectName(QStringLiteral("DitherCheck"));
    addRow(DitherCheck, nullptr, nullptr);

    auto* note = new QLabel(Text(t.note), this);
    note->setObjectName(QStringLiteral("Note"));
    note->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("Buttons"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* frame = new QVBoxLayout(this);
    frame->addLayout(grid);
    frame->addWidget(note);
    frame->addWidget(buttons);
    frame->setSizeConstraint(QLayout::SetFixedSize);
}

void TImportOptionsDialog::SetForm(const brelka::ImportOptionsForm& form) {
    TrimCheck->setChecked(form.trim);
    TrimDb->setText(QString::fromStdString(form.trimDb));
    if (QAbstractButton* button = NormalizeItems->button(form.normalize)) button->setChecked(true);
    NormalizeDb->setText(QString::fromStdString(form.normalizeDb));
    FadeInCheck->setChecked(form.fadeIn);
    FadeInMs->setText(QString::fromStdString(form.fadeInMs));
    FadeOutCheck->setChecked(form.fadeOut);
    FadeOutMs->setText(QString::fromStdString(form.fadeOutMs));
    DitherCheck->setChecked(form.dither);
}

brelka::ImportOptionsForm TImportOptionsDialog::Form() const {
    brelka::ImportOptionsForm form;
    form.trim = TrimCheck->isChecked();
    form.trimDb = TrimDb->text().toStdString();
    form.normalize = std::max(NormalizeItems->checkedId(), 0);
    form.normalizeDb = NormalizeDb->text().toStdString();
    form.fadeIn = FadeInCheck->isChecked();
    form.fadeInMs = FadeInMs->text().toStdString();
    form.fadeOut = FadeOutCheck->isChecked();
    form.fadeOutMs = FadeOutMs->text().toStdString();
    form.dither = DitherCheck->isChecked();
    return form;
}
