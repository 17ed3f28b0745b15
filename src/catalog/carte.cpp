#include "carte.h"

#include <QLineEdit>

std::vector<ColonnaTabella<Carta>> CartaTratti::colonne()
{
    return { { QCoreApplication::translate("CartaTableModel", "Codice"),
                 [](const Carta &c) { return testoServizio(c.codice_carta); } },
        { QCoreApplication::translate("CartaTableModel", "Nome"),
            [](const Carta &c) { return testoServizio(c.nome); } } };
}

ElencoTesti CartaTratti::testiElenco()
{
    const auto tr
        = [](const char *testo) { return QCoreApplication::translate("CartaElenco", testo); };
    return { tr("Elenco Carte"), QSize(475, 408), QStringLiteral("groupBox"),
        QStringLiteral("groupBox_2"),
        { { QStringLiteral("codice_carta"), tr("Codice:"), 150 },
            { QStringLiteral("nome"), tr("Nome:"), 11 } },
        tr("Totale carte:"), QStringLiteral("labelTotCarte"), { 210, 210 },
        tr("Selezionata 1 carta"), tr("Selezionate %1 carte"), tr("Nuova Carta"),
        tr("Impossibile cancellare la carta:\r\n"),
        tr("Errore imprevisto:\r\nL'eliminazione della carta non è stata eseguita."), false };
}

GestioneTesti CartaTratti::testiGestione()
{
    const auto tr
        = [](const char *testo) { return QCoreApplication::translate("CartaGestione", testo); };
    return { tr("Inserimento carta"), tr("Modifica carta"), QSize(411, 145),
        QStringLiteral("groupBoxDatiAnagrafici"), tr("Dati carta"),
        tr("Impossibile memorizzare la carta:\r\n"),
        tr("Errore imprevisto:\r\nL'aggiornamento della carta non è stata eseguito.") };
}

CartaGestione::CartaGestione(QWidget *parent, Carta *carta, bool ospitato)
    : EntityGestione(parent, carta, ospitato)
{
    m_codice = aggiungiCampo("codice_carta", tr("Codice:"), 11);
    m_nome = aggiungiCampo("nome", tr("Nome:"), 150);
    if (isNuovo()) {
        m_codice->setText(QStringLiteral("001"));
    } else {
        m_codice->setText(testoServizio(carta->codice_carta));
        m_nome->setText(testoServizio(carta->nome));
    }
    collegaPerNome();
}

bool CartaGestione::valida()
{
    if (m_codice->text().isEmpty())
        return rifiuta(m_codice, tr("Indicare il codice della carta."));
    if (m_nome->text().isEmpty())
        return rifiuta(m_nome, tr("Indicare il nome della carta."));
    return true;
}

void CartaGestione::trasferisci()
{
    entita()->codice_carta = m_codice->text().toStdString();
    entita()->nome = m_nome->text().toStdString();
}
