// The demo's host form: a FlexGrid with fixed header rows, a check-mark column, sign arrows,
// formatted numbers and a picture, plus the tools a person tries first: binding a large record
// set, filtering, sorting and saving to XML.
#pragma once

#include <tessera/Recordset.h>

#include <QMainWindow>

class QLabel;
class QLineEdit;

namespace tessera {
class FlexGrid;
}

class DemoForm : public QMainWindow {
    Q_OBJECT

public:
    explicit DemoForm(QWidget *parent = nullptr);

    tessera::FlexGrid *grid() const { return m_grid; }

private:
    void fillSample();
    void writeSampleRow(int row, bool done, const QString &article, const QString &description,
        int quantity, double price, double trend);
    void bindLargeRecordset();
    void applyFilter();
    void sortCurrentColumn(bool ascending);
    void saveXml();
    void toggleCheckMark();
    void showPosition();

    tessera::FlexGrid *m_grid = nullptr;
    QLineEdit *m_filter = nullptr;
    QLabel *m_position = nullptr;
    tessera::RecordsetPtr m_records;
};
