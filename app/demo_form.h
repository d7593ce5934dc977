// The demo's host form: a FlexGrid with fixed header rows, a check-mark column, sign arrows,
// formatted numbers and a picture, plus the tools a person tries first: binding a large record
// set, filtering, sorting and saving to XML.
#pragma once

#include <tessera/Recordset.h>

#include <QMainWindow>

#include <functional>

class QLabel;
class QLineEdit;

namespace tessera {
class FlexGrid;
}

class DemoForm : public QMainWindow {
    Q_OBJECT

public:
    // `recordCount` is the size of the record set the bind action builds.
    explicit DemoForm(QWidget *parent = nullptr, int recordCount = 1000000);

    tessera::FlexGrid *grid() const { return m_grid; }
    tessera::RecordsetPtr records() const { return m_records; }
    // Asks where to save XML (a file dialog unless replaced, as tests do).
    void setSaveFileChooser(std::function<QString()> chooser)
    {
        m_chooseSaveFile = std::move(chooser);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

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
    // Shares the grid's width among the columns, so no grey band is left over.
    void fitColumns();

    tessera::FlexGrid *m_grid = nullptr;
    QLineEdit *m_filter = nullptr;
    QLabel *m_position = nullptr;
    tessera::RecordsetPtr m_records;
    int m_recordCount;
    std::function<QString()> m_chooseSaveFile;
};
