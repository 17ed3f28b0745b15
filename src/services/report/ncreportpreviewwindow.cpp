#include "ncreportpreviewwindow.h"

#include "dialogfacade.h"
#include "ncreport.h"
#include "ncreportoutput.h"

#include <QAction>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPrintDialog>
#include <QPrinter>
#include <QScrollArea>
#include <QSpinBox>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>

namespace
{
NCReportPreviewWindow::ExecHook &execHook()
{
    static NCReportPreviewWindow::ExecHook hook;
    return hook;
}
} // namespace

NCReportPreviewWindow::NCReportPreviewWindow(QWidget *parent, Qt::WindowFlags flags)
    : QDialog(parent, flags)
{
    setWindowTitle(tr("Anteprima di stampa"));
    setWindowModality(Qt::ApplicationModal);
    setSizeGripEnabled(true);
    resize(900, 1000);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *bar = new QToolBar(this);
    layout->addWidget(bar);

    QAction *print = bar->addAction(QIcon::fromTheme(QStringLiteral("document-print")),
        tr("Stampa..."), this, &NCReportPreviewWindow::print);
    print->setShortcut(QKeySequence::Print);
    bar->addAction(QIcon::fromTheme(QStringLiteral("document-save-as")), tr("Salva PDF..."), this,
        &NCReportPreviewWindow::savePdf);
    bar->addSeparator();
    m_first = bar->addAction(style()->standardIcon(QStyle::SP_MediaSkipBackward),
        tr("Prima pagina"), this, &NCReportPreviewWindow::firstPage);
    m_previous = bar->addAction(style()->standardIcon(QStyle::SP_MediaSeekBackward),
        tr("Pagina precedente"), this, &NCReportPreviewWindow::previousPage);
    m_previous->setShortcut(QKeySequence::MoveToPreviousPage);
    m_pageBox = new QSpinBox(bar);
    m_pageBox->setMinimum(1);
    bar->addWidget(m_pageBox);
    m_pageCountLabel = new QLabel(bar);
    bar->addWidget(m_pageCountLabel);
    m_next = bar->addAction(style()->standardIcon(QStyle::SP_MediaSeekForward),
        tr("Pagina successiva"), this, &NCReportPreviewWindow::nextPage);
    m_next->setShortcut(QKeySequence::MoveToNextPage);
    m_last = bar->addAction(style()->standardIcon(QStyle::SP_MediaSkipForward), tr("Ultima pagina"),
        this, &NCReportPreviewWindow::lastPage);
    bar->addSeparator();
    bar->addAction(QIcon::fromTheme(QStringLiteral("zoom-out")), tr("Riduci"), this,
           &NCReportPreviewWindow::zoomOut)
        ->setShortcut(QKeySequence::ZoomOut);
    m_zoomLabel = new QLabel(bar);
    bar->addWidget(m_zoomLabel);
    bar->addAction(QIcon::fromTheme(QStringLiteral("zoom-in")), tr("Ingrandisci"), this,
           &NCReportPreviewWindow::zoomIn)
        ->setShortcut(QKeySequence::ZoomIn);
    bar->addAction(QIcon::fromTheme(QStringLiteral("zoom-fit-width")), tr("Adatta alla larghezza"),
        this, &NCReportPreviewWindow::zoomToWidth);
    bar->addSeparator();
    bar->addAction(
        QIcon::fromTheme(QStringLiteral("window-close")), tr("Chiudi"), this, &QDialog::reject);

    connect(m_pageBox, QOverload<int>::of(&QSpinBox::valueChanged), this,
        [this](int page) { goToPage(page - 1); });

    m_scroll = new QScrollArea(this);
    m_scroll->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_scroll->setBackgroundRole(QPalette::Dark);
    m_pageView = new QLabel;
    m_pageView->setAlignment(Qt::AlignCenter);
    m_scroll->setWidget(m_pageView);
    m_scroll->setWidgetResizable(false);
    layout->addWidget(m_scroll, 1);
    refresh();
}

NCReportPreviewWindow::~NCReportPreviewWindow() = default;

void NCReportPreviewWindow::setReport(NCReport *report)
{
    m_report = report;
    if (m_pages.isEmpty() && report)
        m_pages = report->pages();
    m_current = 0;
    refresh();
}

void NCReportPreviewWindow::setOutput(NCReportOutput *output)
{
    m_pages = output ? output->pages() : QVector<NCReportPage>();
    m_current = 0;
    refresh();
}

void NCReportPreviewWindow::goToPage(int index)
{
    if (m_pages.isEmpty())
        return;
    index = qBound(0, index, m_pages.size() - 1);
    if (index == m_current && m_pageBox->value() == index + 1)
        return;
    m_current = index;
    refresh();
}

void NCReportPreviewWindow::setZoom(double zoom)
{
    m_zoom = qBound(0.1, zoom, 8.0);
    refresh();
}

void NCReportPreviewWindow::zoomToWidth()
{
    if (m_pages.isEmpty())
        return;
    const double pixelsPerMm = logicalDpiX() / 25.4;
    const double available = m_scroll->viewport()->width() - 20;
    setZoom(available / (m_pages.at(m_current).size.width() * pixelsPerMm));
}

void NCReportPreviewWindow::refresh()
{
    const int n = m_pages.size();
    m_pageCountLabel->setText(tr(" di %1 ").arg(n));
    m_zoomLabel->setText(QStringLiteral(" %1% ").arg(qRound(m_zoom * 100)));
    m_first->setEnabled(m_current > 0);
    m_previous->setEnabled(m_current > 0);
    m_next->setEnabled(m_current < n - 1);
    m_last->setEnabled(m_current < n - 1);
    {
        const QSignalBlocker block(m_pageBox);
        m_pageBox->setMaximum(qMax(1, n));
        m_pageBox->setValue(m_current + 1);
    }
    if (n == 0) {
        m_pageView->setPixmap(QPixmap());
        m_pageView->setText(tr("Nessuna pagina"));
        m_pageView->adjustSize();
        return;
    }
    const NCReportPage &page = m_pages.at(m_current);
    const double pixelsPerMm = logicalDpiX() / 25.4 * m_zoom;
    QImage image(qMax(1, qRound(page.size.width() * pixelsPerMm)),
        qMax(1, qRound(page.size.height() * pixelsPerMm)), QImage::Format_RGB32);
    // Fonts are sized from the device's resolution, so the image gets the
    // one of the zoomed page.
    image.setDotsPerMeterX(qRound(pixelsPerMm * 1000));
    image.setDotsPerMeterY(qRound(pixelsPerMm * 1000));
    image.fill(Qt::white);
    QPainter painter(&image);
    NCReportRenderer::paintPage(&painter, page, pixelsPerMm);
    painter.end();
    m_pageView->setPixmap(QPixmap::fromImage(image));
    m_pageView->adjustSize();
}

bool NCReportPreviewWindow::saveAsPdf(const QString &fileName, QString *error)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(fileName);
    return NCReport::printPages(&printer, m_pages, 1, error);
}

bool NCReportPreviewWindow::dialogoDiStampa(QPrinter *printer, QWidget *parent)
{
    if (DialogFacade::isScripted())
        return false;
    QPrintDialog dialog(printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

void NCReportPreviewWindow::print()
{
    if (m_pages.isEmpty())
        return;
    QPrinter printer(QPrinter::HighResolution);
    const NCReport::PrintDialogHook dialogo = NCReport::printDialogHook();
    if (!dialogo || !dialogo(&printer, this))
        return;
    const int copies = printer.supportsMultipleCopies() ? 1 : qMax(1, printer.copyCount());
    QString error;
    if (!NCReport::printPages(&printer, m_pages, copies, &error))
        DialogFacade::warning(this, windowTitle(), tr("Errore in fase di stampa:\n%1").arg(error));
}

void NCReportPreviewWindow::savePdf()
{
    QString fileName = DialogFacade::getSaveFileName(
        this, tr("Salva PDF"), QDir::homePath(), tr("Documenti PDF (*.pdf)"));
    if (fileName.isEmpty())
        return;
    if (!fileName.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        fileName += QLatin1String(".pdf");
    QString error;
    if (!saveAsPdf(fileName, &error))
        DialogFacade::warning(
            this, windowTitle(), tr("Impossibile salvare il PDF:\n%1").arg(error));
}

int NCReportPreviewWindow::exec()
{
    if (execHook() || DialogFacade::isScripted()) {
        const int result = execHook() ? execHook()(this) : int(QDialog::Rejected);
        // Ends like a shown dialog would, including delete-on-close.
        done(result);
        return result;
    }
    return QDialog::exec();
}

void NCReportPreviewWindow::setExecHook(ExecHook hook)
{
    execHook() = std::move(hook);
}
