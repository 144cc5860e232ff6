#pragma once

#include <QDialog>
#include <QList>
#include <array>

class QCheckBox;
class QPushButton;

// The known-list selection: one box per category of the frequency database (24 at most), ticked
// from the selection table (entry 0 the count, entries 1..count the flags). OK writes the boxes
// back; Cancel leaves the table as it was.
class RxKwn : public QDialog {
    Q_OBJECT
public:
    static constexpr int BoxCount = 24;

    // labels: the database's category names in order.
    RxKwn(QList<int>& selection, const QStringList& labels, bool onTop, QWidget* parent = nullptr);

    std::array<QCheckBox*, BoxCount> Wkn{};
    QPushButton* OK;
    QPushButton* Cancel;

private:
    void accept() override;

    QList<int>& selection_;
};
