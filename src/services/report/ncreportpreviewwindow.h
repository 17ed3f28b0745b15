#pragma once

#include "ncreportpage.h"

#include <QDialog>
#include <QPointer>
#include <QPrinter>
#include <QVector>
#include <functional>

class NCReport;
class NCReportOutput;
class QAction;
class QLabel;
class QScrollArea;
class QSpinBox;

// Shows the pages of a report run one at a time, with page navigation, zoom,
// printing and saving as PDF.
class NCReportPreviewWindow : public QDialog
{
    Q_OBJECT
public:
    explicit NCReportPreviewWindow(QWidget *parent = nullptr, Qt::WindowFlags flags = {});
    ~NCReportPreviewWindow() override;

    void setReport(NCReport *report);
    // Takes a copy of the output's pages; the output may go away afterwards.
    void setOutput(NCReportOutput *output);

    int pageCount() const { return m_pages.size(); }
    int currentPage() const { return m_current; } // 0-based
    double zoom() const { return m_zoom; }
    QVector<NCReportPage> pages() const { return m_pages; }

    void goToPage(int index);
    void setZoom(double zoom);

    // Saves all pages as a PDF file; false and a message on failure.
    bool saveAsPdf(const QString &fileName, QString *error);

    // Runs the window modally. A hook, when set, is called with the window
    // instead of the event loop and gives the result. While message boxes
    // are scripted (tests) and no hook is set, the window is not shown and
    // the call returns Rejected at once.
    int exec();
    using ExecHook = std::function<int(NCReportPreviewWindow *window)>;
    static void setExecHook(ExecHook hook);

    // The Qt print dialog, for NCReport::setPrintDialogHook; while message
    // boxes are scripted (tests) it counts as cancelled without showing.
    static bool dialogoDiStampa(QPrinter *printer, QWidget *parent);

public slots:
    void firstPage() { goToPage(0); }
    void previousPage() { goToPage(m_current - 1); }
    void nextPage() { goToPage(m_current + 1); }
    void lastPage() { goToPage(m_pages.size() - 1); }
    void zoomIn() { setZoom(m_zoom * 1.25); }
    void zoomOut() { setZoom(m_zoom / 1.25); }
    void zoomToWidth();
    void print();
    void savePdf();

private:
    void refresh();

    QPointer<NCReport> m_report;
    QVector<NCReportPage> m_pages;
    int m_current = 0;
    double m_zoom = 1.0;
    QScrollArea *m_scroll = nullptr;
    QLabel *m_pageView = nullptr;
    QSpinBox *m_pageBox = nullptr;
    QLabel *m_pageCountLabel = nullptr;
    QLabel *m_zoomLabel = nullptr;
    QAction *m_first = nullptr;
    QAction *m_previous = nullptr;
    QAction *m_next = nullptr;
    QAction *m_last = nullptr;
};
