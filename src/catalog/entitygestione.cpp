#include "entitygestione.h"

#include "common/dialogfacade.h"
#include "common/waitcursor.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QVBoxLayout>

EntityGestioneBase::EntityGestioneBase(
    QWidget *parent, bool nuovo, bool ospitato, const GestioneTesti &testi)
    : QDialog(parent)
    , m_nuovo(nuovo)
    , m_ospitato(ospitato)
    , m_testi(testi)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(nuovo ? testi.titoloNuovo : testi.titoloModifica);
    setWindowIcon(QIcon(QStringLiteral(":/Resource/icona.ico")));
    if (testi.dimensione.isValid())
        resize(testi.dimensione);

    m_gruppo = new QGroupBox(testi.titoloGruppo, this);
    m_gruppo->setObjectName(testi.nomeGruppo);
    m_modulo = new QFormLayout(m_gruppo);
    m_nota = new QLabel(tr("* i campi contrassegnati sono obbligatori "), this);
    auto *pulsanti = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel, this);
    pulsanti->setObjectName(QStringLiteral("buttonBox"));

    auto *layout = new QVBoxLayout(this);
    m_gruppi = new QVBoxLayout;
    m_gruppi->addWidget(m_gruppo);
    layout->addLayout(m_gruppi);
    layout->addWidget(m_nota);
    layout->addWidget(pulsanti);
}

EntityGestioneBase::~EntityGestioneBase() = default;

void EntityGestioneBase::collegaPerNome()
{
    QMetaObject::connectSlotsByName(this);
}

QGroupBox *EntityGestioneBase::aggiungiGruppo(const char *nome, const QString &titolo)
{
    m_gruppo = new QGroupBox(titolo, this);
    m_gruppo->setObjectName(QLatin1String(nome));
    m_modulo = new QFormLayout(m_gruppo);
    m_gruppi->addWidget(m_gruppo);
    return m_gruppo;
}

void EntityGestioneBase::impostaNota(const QString &testo)
{
    m_nota->setText(testo);
}

void EntityGestioneBase::aggiungiRiga(
    const QString &etichetta, QWidget *campo, bool obbligatorio, QWidget *accanto)
{
    auto *riga = new QHBoxLayout;
    riga->addWidget(campo, 1);
    if (accanto)
        riga->addWidget(accanto);
    auto *asterisco = new QLabel(obbligatorio ? QStringLiteral("*") : QString(), m_gruppo);
    riga->addWidget(asterisco);
    m_modulo->addRow(etichetta, riga);
}

QLineEdit *EntityGestioneBase::aggiungiCampo(
    const char *nome, const QString &etichetta, int lunghezza, bool obbligatorio)
{
    auto *campo = new QLineEdit(m_gruppo);
    campo->setObjectName(QLatin1String(nome));
    campo->setMaxLength(lunghezza);
    aggiungiRiga(etichetta, campo, obbligatorio);
    return campo;
}

bool EntityGestioneBase::rifiuta(QWidget *campo, const QString &messaggio)
{
    DialogFacade::warning(this, windowTitle(), messaggio);
    campo->setFocus();
    errore();
    return false;
}

void EntityGestioneBase::on_buttonBox_accepted()
{
    if (!valida())
        return;
    bool memorizzato = false;
    {
        WaitCursor attesa;
        try {
            trasferisci();
            memorizzato = memorizza();
        } catch (const ErroreServizio &e) {
            attesa.restore();
            DialogFacade::warning(this, windowTitle(), erroreMemorizzazione() + e.messaggio);
            errore();
        } catch (...) {
            attesa.restore();
            DialogFacade::critical(this, windowTitle(), m_testi.imprevistoMemorizzazione);
            errore();
        }
    }
    // A record that was not stored stays out of the lists; the dialog keeps
    // the user's input.
    if (!memorizzato)
        return;
    if (m_nuovo)
        inserito();
    accept();
}

void EntityGestioneBase::on_buttonBox_rejected()
{
    reject();
}

void EntityGestioneBase::done(int result)
{
    QDialog::done(result);
    if (!m_ospitato)
        return;
    if (auto *finestra = qobject_cast<QMdiSubWindow *>(parentWidget()))
        finestra->close();
}
