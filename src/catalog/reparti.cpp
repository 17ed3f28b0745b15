#include "reparti.h"

#include "common/dialogfacade.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace
{
const char tipoDirectory[] = "directory";
const char tipoNoritsu[] = "canale_noritsu";
} // namespace

std::vector<ColonnaTabella<Reparto>> RepartoTratti::colonne()
{
    return { { QCoreApplication::translate("RepartoTableModel", "Nome"),
                 [](const Reparto &r) { return testoServizio(r.nome); } },
        { QCoreApplication::translate("RepartoTableModel", "Percorso"),
            [](const Reparto &r) { return testoServizio(r.percorso); } } };
}

ElencoTesti RepartoTratti::testiElenco()
{
    const auto tr
        = [](const char *testo) { return QCoreApplication::translate("RepartoElenco", testo); };
    return { tr("Elenco Reparti"), QSize(), QStringLiteral("groupBox"),
        QStringLiteral("groupBox_2"),
        { { QStringLiteral("nome"), tr("Nome:"), 150 },
            { QStringLiteral("percorso"), tr("Percorso:"), 11 } },
        tr("Totale reparti:"), QStringLiteral("labelTotReparti"), { 210 },
        tr("Selezionato 1 reparto"), tr("Selezionati %1 reparti"), tr("Nuovo Reparto"),
        tr("Impossibile cancellare il reparto:\r\n"),
        tr("Errore imprevisto:\r\nL'eliminazione del reparto non è stata eseguita."), false };
}

GestioneTesti RepartoTratti::testiGestione()
{
    const auto tr
        = [](const char *testo) { return QCoreApplication::translate("RepartoGestione", testo); };
    return { tr("Inserimento reparto"), tr("Modifica reparto"), QSize(533, 203),
        QStringLiteral("groupDatiAccessoServer"), tr("Dati reparto"),
        tr("Impossibile memorizzare il reparto:\r\n"),
        tr("Errore imprevisto:\r\nL'aggiornamento del reparto non è stato eseguito.") };
}

RepartoGestione::RepartoGestione(QWidget *parent, Reparto *reparto, bool ospitato)
    : EntityGestione(parent, reparto, ospitato)
{
    m_nome = aggiungiCampo("nome", tr("Nome:"), 150);
    m_percorso = new QLineEdit(gruppo());
    m_percorso->setObjectName(QStringLiteral("percorso"));
    m_percorso->setMaxLength(255);
    auto *sfoglia = new QPushButton(tr("Sfoglia"), gruppo());
    sfoglia->setObjectName(QStringLiteral("ButtonDirectoryDialog"));
    sfoglia->setAutoDefault(false);
    aggiungiRiga(tr("Percorso:"), m_percorso, true, sfoglia);
    m_tipo = new QComboBox(gruppo());
    m_tipo->setObjectName(QStringLiteral("comboBoxTipo"));
    m_tipo->addItems({ tr("Directory"), tr("Canale Noritsu") });
    m_canale = new QLineEdit(gruppo());
    m_canale->setObjectName(QStringLiteral("lineEditCanaleNumero"));
    auto *canale = new QWidget(gruppo());
    auto *canaleLayout = new QHBoxLayout(canale);
    canaleLayout->setContentsMargins(0, 0, 0, 0);
    canaleLayout->addWidget(m_canale);
    m_stellaCanale = new QLabel(QStringLiteral("*"), canale);
    canaleLayout->addWidget(m_stellaCanale);
    aggiungiRiga(tr("Tipo:"), m_tipo, false, canale);

    if (!isNuovo()) {
        m_nome->setText(testoServizio(reparto->nome));
        m_percorso->setText(testoServizio(reparto->percorso));
        m_tipo->setCurrentIndex(reparto->tipo == tipoNoritsu ? 1 : 0);
        m_canale->setText(testoServizio(reparto->canale_numero));
    }
    collegaPerNome();
    on_comboBoxTipo_currentIndexChanged(m_tipo->currentIndex());
}

void RepartoGestione::on_comboBoxTipo_currentIndexChanged(int index)
{
    m_canale->setVisible(index == 1);
    m_stellaCanale->setVisible(index == 1);
}

void RepartoGestione::on_ButtonDirectoryDialog_clicked()
{
    const QString cartella
        = DialogFacade::getExistingDirectory(this, tr("Scegli una cartella"), m_percorso->text());
    if (!cartella.isEmpty())
        m_percorso->setText(cartella);
}

bool RepartoGestione::valida()
{
    if (m_nome->text().isEmpty())
        return rifiuta(m_nome, tr("Indicare il nome del reparto."));
    if (m_percorso->text().isEmpty())
        return rifiuta(m_percorso, tr("Indicare il percorso."));
    // Orders are downloaded below this folder: a file or a missing path
    // would stop the reception of every order of the department.
    if (!QFileInfo(m_percorso->text()).isDir())
        return rifiuta(m_percorso, tr("La cartella indicata non esiste."));
    if (m_tipo->currentIndex() == -1)
        return rifiuta(m_tipo, tr("Indicare il tipo di canale."));
    // The channel is written into the minilab's print-order file.
    if (m_tipo->currentIndex() == 1 && m_canale->text().isEmpty())
        return rifiuta(m_canale, tr("Indicare il numero del canale."));
    return true;
}

void RepartoGestione::trasferisci()
{
    Reparto *r = entita();
    r->nome = m_nome->text().toStdString();
    r->percorso = m_percorso->text().toStdString();
    r->tipo = m_tipo->currentIndex() == 1 ? tipoNoritsu : tipoDirectory;
    r->canale_numero = m_canale->text().toStdString();
}
