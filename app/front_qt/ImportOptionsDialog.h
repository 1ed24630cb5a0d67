// The "Import Options..." dialog: the form's check boxes, radio buttons and fields, OK and
// Cancel. It shows a form and gives back what the user left in it; the window's behaviour
// reads and checks it.
#pragma once

#include <QDialog>

#include "WindowToolkit.h"

class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QRadioButton;

class TImportOptionsDialog : public QDialog {
    Q_OBJECT

  public:
    explicit TImportOptionsDialog(QWidget* parent);

    void SetForm(const brelka::ImportOptionsForm& form);
    brelka::ImportOptionsForm Form() const;

    // Controls, by their names (each also carries its name as objectName).
    QCheckBox* TrimCheck = nullptr;
    QLineEdit* TrimDb = nullptr;
    QButtonGroup* NormalizeItems = nullptr; // ids 0 keep, 1 each sound, 2 the kit
    QLineEdit* NormalizeDb = nullptr;
    QCheckBox* FadeInCheck = nullptr;
    QLineEdit* FadeInMs = nullptr;
    QCheckBox* FadeOutCheck = nullptr;
    QLineEdit* FadeOutMs = nullptr;
    QCheckBox* DitherCheck = nullptr;
};
