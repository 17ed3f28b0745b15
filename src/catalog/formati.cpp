#include "formati.h"

#include "formatomisure.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalBlocker>
#include <QVBoxLayout>

using namespace FormatoMisure;

std::vector<ColonnaTabella<Formato>> FormatoTratti::colonne()
{
    const auto tr
        = [](const char *testo) { return QCoreApplication::translate("FormatoTableModel", testo); };
    // The sizes and the resolution sort as numbers.
    const auto numero = [](int Formato::*campo) {
        return [campo](const Formato &f) { return QVariant(f.*campo); };
    };
    const auto testo = [](int Formato::*campo) {
        return [campo](const Formato &f) { return QVariant(QString::number(f.*campo)); };
    };
    return { { tr("Codice"), [](const Formato &f) { return testoServizio(f.codice_formato); } },
        { tr("Nome"), [](const Formato &f) { return testoServizio(f.nome); } },
        { tr("Altezza"), testo(&Formato::altezza), numero(&Formato::altezza) },
        { tr("Larghezza"), testo(&Formato::larghezza), numero(&Formato::larghezza) },
        { tr("Dpi"), testo(&Formato::dpi), numero(&Formato::dpi) } };
}

ElencoTesti FormatoTratti::testiElenco()
{
    const auto tr
        = [](const char *testo) { return QCoreApplication::translate("FormatoElenco", testo); };
    return { tr("Elenco Formati"), QSize(), QStringLiteral("groupBox"),
        QStringLiteral("groupBox_2"),
        { { QStringLiteral("codice_formato"), tr("Codice:"), 150 },
            { QStringLiteral("nome"), tr("Nome:"), 11 } },
        tr("Totale formati:"), QStringLiteral("labelTotFormati"), {}, tr("Selezionato 1 formato"),
        tr("Selezionati %1 formati"), tr("Nuovo Formato"),
        tr("Impossibile cancellare il formato:\r\n"),
        tr("Errore imprevisto:\r\nL'eliminazione del formato non è stata eseguita."), false };
}

GestioneTesti FormatoTratti::testiGestione()
{
    const auto tr
        = [](const char *testo) { return QCoreApplication::translate("FormatoGestione", testo); };
    return { tr("Inserimento formato"), tr("Modifica formato"), QSize(),
        QStringLiteral("groupBoxDatiAnagrafici"), tr("Dati formato"),
        tr("Impossibile memorizzare il formato:\r\n"),
        tr("Errore imprevisto:\r\nL'aggiornamento del formato non è stata eseguito.") };
}

FormatoGestione::FormatoGestione(QWidget *parent, Formato *formato, bool ospitato)
    : EntityGestione(parent, formato, ospitato)
{
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    auto *info = new QGroupBox(this);
    info->setObjectName(QStringLiteral("groupBoxInfo"));
    auto *infoLayout = new QHBoxLayout(info);
    auto *icona = new QLabel(info);
    icona->setPixmap(QPixmap(QStringLiteral(":/Resource/16x16/information.png")));
    infoLayout->addWidget(icona, 0, Qt::AlignTop);
    auto *avviso = new QListWidget(info);
    avviso->setObjectName(QStringLiteral("listWidget"));
    avviso->setWordWrap(true);
    avviso->setMaximumHeight(60);
    avviso->addItem(tr("Attenzione! Quando si modifica il nome di un formato, le stampe inserite "
                       "tramite la procedura guidata avranno un nome del tipo [nome carta] - "
                       "[nome formato] che si riferirà al vecchio nome formato"));
    infoLayout->addWidget(avviso, 1);
    static_cast<QVBoxLayout *>(layout())->insertWidget(0, info);

    m_codice = aggiungiCampo("codice_formato", tr("Codice:"), 11);
    m_nome = aggiungiCampo("nome", tr("Nome:"), 150);
    const auto campoMisura = [this](const char *nome, const QString &etichetta, int lunghezza,
                                 const char *nomeUnita, QComboBox **unita) {
        auto *campo = new QLineEdit(gruppo());
        campo->setObjectName(QLatin1String(nome));
        campo->setMaxLength(lunghezza);
        if (nomeUnita) {
            *unita = new QComboBox(gruppo());
            (*unita)->setObjectName(QLatin1String(nomeUnita));
            (*unita)->addItems({ QStringLiteral("cm"), QStringLiteral("pixels") });
        }
        aggiungiRiga(etichetta, campo, true, unita ? *unita : nullptr);
        return campo;
    };
    m_larghezza = campoMisura("larghezza", tr("Larghezza:"), 9, "comboUmLarghezza", &m_umLarghezza);
    m_dpi = campoMisura("dpi", tr("DPI:"), 4, nullptr, nullptr);
    m_altezza = campoMisura("altezza", tr("Altezza:"), 9, "comboUmAltezza", &m_umAltezza);
    m_forma = new QLabel(gruppo());
    m_forma->setObjectName(QStringLiteral("labelShape"));
    m_forma->setFixedSize(180, 180);
    modulo()->addRow(m_forma);

    if (isNuovo()) {
        m_codice->setText(QStringLiteral("001"));
        m_larghezza->setText(QStringLiteral("28"));
        m_altezza->setText(QStringLiteral("21"));
        m_dpi->setText(QStringLiteral("72"));
    } else {
        m_codice->setText(testoServizio(formato->codice_formato));
        m_nome->setText(testoServizio(formato->nome));
        m_dpi->setText(QString::number(formato->dpi));
        if (formato->dpi > 0) {
            m_altezza->setText(testoCentimetri(QString::number(formato->altezza), formato->dpi));
            m_larghezza->setText(
                testoCentimetri(QString::number(formato->larghezza), formato->dpi));
        } else {
            m_altezza->setText(QString::number(formato->altezza));
            m_larghezza->setText(QString::number(formato->larghezza));
        }
        m_larghezzaIniziale = m_larghezza->text();
        m_altezzaIniziale = m_altezza->text();
        m_dpiIniziale = m_dpi->text();
    }
    collegaPerNome();
    disegna();
}

void FormatoGestione::disegna()
{
    m_forma->setPixmap(
        anteprima(numero(m_larghezza->text()).value_or(0), numero(m_altezza->text()).value_or(0),
            interoIniziale(m_dpi->text()), m_umLarghezza->currentText()));
}

// Keeps digits (and in the sizes "." and ",") as they are typed; the
// character just typed is taken out again otherwise.
void FormatoGestione::filtraDigitazione(QLineEdit *campo, bool decimali)
{
    QString testo = campo->text();
    const int cursore = campo->cursorPosition();
    if (!testo.isEmpty() && cursore > 0) {
        const QChar c = testo.at(cursore - 1);
        const bool ammesso = (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            || (c.unicode() > 127 && c.isNumber())
            || (decimali && (c == QLatin1Char('.') || c == QLatin1Char(',')));
        if (!ammesso) {
            testo.remove(cursore - 1, 1);
            const QSignalBlocker blocco(campo);
            campo->setText(testo);
            campo->setCursorPosition(cursore - 1);
        }
    }
    disegna();
}

void FormatoGestione::on_larghezza_textChanged(const QString &)
{
    filtraDigitazione(m_larghezza, true);
}

void FormatoGestione::on_altezza_textChanged(const QString &)
{
    filtraDigitazione(m_altezza, true);
}

void FormatoGestione::on_dpi_textChanged(const QString &)
{
    filtraDigitazione(m_dpi, false);
}

// The two unit combos always show the same unit; one change converts each
// field once.
void FormatoGestione::on_comboUmLarghezza_currentIndexChanged(int index)
{
    if (m_conversione)
        return;
    m_conversione = true;
    m_umAltezza->setCurrentIndex(index);
    m_conversione = false;
    const int dpi = interoIniziale(m_dpi->text());
    // Without a resolution there is nothing to convert by.
    if (dpi > 0) {
        const bool centimetri = m_umAltezza->currentText() == QLatin1String("cm");
        for (QLineEdit *campo : { m_altezza, m_larghezza })
            campo->setText(
                centimetri ? testoCentimetri(campo->text(), dpi) : testoPixel(campo->text(), dpi));
    }
    disegna();
}

void FormatoGestione::on_comboUmAltezza_currentIndexChanged(int index)
{
    if (!m_conversione)
        m_umLarghezza->setCurrentIndex(index);
}

bool FormatoGestione::validaMisura(QLineEdit *campo, const QString &vuoto, const QString &nonValido)
{
    if (campo->text().isEmpty())
        return rifiuta(campo, vuoto);
    if (interoIniziale(campo->text()) == 0 || !numero(campo->text()))
        return rifiuta(campo, nonValido);
    return true;
}

bool FormatoGestione::valida()
{
    if (m_codice->text().isEmpty())
        return rifiuta(m_codice, tr("Indicare il codice del formato."));
    if (m_nome->text().isEmpty())
        return rifiuta(m_nome, tr("Indicare il nome del formato."));
    return validaMisura(m_altezza, tr("Indicare il valore dell'altezza."),
               tr("Inserire un valore valido per l'altezza"))
        && validaMisura(m_larghezza, tr("Indicare il valore della larghezza."),
            tr("Inserire un valore valido per la larghezza."))
        && validaMisura(
            m_dpi, tr("Indicare valore dpi."), tr("Inserire un valore valido per i dpi."));
}

std::optional<int> FormatoGestione::invariato(const QLineEdit *campo, int pixel) const
{
    const QString &iniziale = campo == m_larghezza ? m_larghezzaIniziale : m_altezzaIniziale;
    if (isNuovo() || m_umLarghezza->currentIndex() != 0 || m_dpi->text() != m_dpiIniziale
        || campo->text() != iniziale)
        return std::nullopt;
    return pixel;
}

void FormatoGestione::trasferisci()
{
    Formato *f = entita();
    f->codice_formato = m_codice->text().toStdString();
    f->nome = m_nome->text().toStdString();
    const int dpi = interoIniziale(m_dpi->text());
    const bool centimetri = m_umLarghezza->currentIndex() == 0;
    f->altezza = invariato(m_altezza, f->altezza)
                     .value_or(pixelDaSalvare(m_altezza->text(), centimetri, dpi).value_or(0));
    f->larghezza = invariato(m_larghezza, f->larghezza)
                       .value_or(pixelDaSalvare(m_larghezza->text(), centimetri, dpi).value_or(0));
    f->dpi = dpi;
}
