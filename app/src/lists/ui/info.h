#pragma once

// "Enter identification": what the operator heard on a frequency about to be noted in the
// scratch pad. The caller shows it modally and reads Ident afterwards.

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;

class Info : public QDialog {
    Q_OBJECT
public:
    explicit Info(bool onTop, QWidget* parent = nullptr);

    // The identification (at most 60 characters), " - " when there is one, then the mode and,
    // except for "Voice", "/" and the speed when one is given.
    QString Ident() const;
    static QString ComposeIdent(const QString& identification, const QString& mode,
                                const QString& speed);

    QLineEdit* Data;
    QComboBox* Mode;
    QComboBox* Baud;
    QPushButton* OK;

private:
    void OK_Click();

    QString identification_;
};
