#include "stampe.h"

#include "common/dialogfacade.h"
#include "common/waitcursor.h"
#include "formatomisure.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QTextEdit>

#include <cmath>

QString testoPrezzo(float prezzo)
{
    return QStringLiteral("%L1").arg(double(prezzo), 0, 'f', 4);
}

std::optional<float> leggiPrezzo(const QString &testo)
{
    bool ok = false;
    double valore = QLocale().toDouble(testo.trimmed(), &ok);
    if (!ok) {
        const std::optional<double> letto = FormatoMisure::numero(testo.trimmed());
        if (!letto)
            return std::nullopt;
        valore = *letto;
    }
    if (!std::isfinite(valore) || valore < 0 || valore > 1e9)
        return std::nullopt;
    return float(valore);
}

std::vector<ColonnaTabella<Stampa>> StampaTratti::colonne()
{
    const auto tr
        = [](const char *testo) { return QCoreApplication::translate("StampaTableModel", testo); };
    return { { tr("Codice"), [](const Stampa &s) { return testoServizio(s.codice_stampa); } },
        { tr("Descrizione"), [](const Stampa &s) { return testoServizio(s.nome); } },
        { tr("Formato"), [](const Stampa &s) { return testoServizio(s.formato.nome); } },
        { tr("Carta"), [](const Stampa &s) { return testoServizio(s.carta.nome); } },
        { tr("Reparto"), [](const Stampa &s) { return testoServizio(s.reparto.nome); } },
        { tr("Archiviato"), [tr](const Stampa &s) { return s.archiviato ? tr("SI") : tr("NO"); } },
        { tr("Prezzo"),
            [](const Stampa &s) {
                return QStringLiteral("%1 %2").arg(testoPrezzo(s.prezzo), QStringLiteral("€"));
            },
            [](const Stampa &s) { return double(s.prezzo); }, Qt::AlignRight | Qt::AlignVCenter } };
}

ElencoTesti StampaTratti::testiElenco()
{
    const auto tr
        = [](const char *testo) { return QCoreApplication::translate("StampaElenco", testo); };
    return { tr("Elenco Stampe"), QSize(760, 480), QStringLiteral("groupBox_filtri_di_ricerca"),
        QStringLiteral("groupBox_2"),
        { { QStringLiteral("codice_stampa"), tr("Codice:"), 150 },
            { QStringLiteral("nome"), tr("Nome:"), 11 } },
        tr("Totale stampe:"), QStringLiteral("labelTotStampe"), { 210, 210 },
        tr("Selezionata 1 stampa"), tr("Selezionate %1 stampe"), tr("Nuova Stampa"),
        tr("Impossibile cancellare la stampa:\r\n"),
        tr("Errore imprevisto:\r\nL'eliminazione della stampa non è stata eseguita."), true };
}

GestioneTesti StampaTratti::testiGestione()
{
    const auto tr
        = [](const char *testo) { return QCoreApplication::translate("StampaGestione", testo); };
    return { tr("Inserimento stampa"), tr("Modifica stampe"), QSize(460, 420),
        QStringLiteral("groupBoxDatiAnagrafici"), tr("Dati stampa"),
        tr("Impossibile memorizzare la stampa:\r\n"),
        tr("Errore imprevisto:\r\nLa memorizzazione della stampa non è stato eseguito.") };
}

// --- edit dialog --------------------------------------------------------------

QString StampaGestione::titolo(bool nuovo)
{
    const GestioneTesti testi = StampaTratti::testiGestione();
    return nuovo ? testi.titoloNuovo : testi.titoloModifica;
}

StampaGestione::StampaGestione(QWidget *parent, Stampa *stampa, bool ospitato)
    : StampaGestione(parent, stampa ? QList<Stampa *> { stampa } : QList<Stampa *>(), ospitato)
{
}

StampaGestione::StampaGestione(QWidget *parent, const QList<Stampa *> &stampe, bool ospitato)
    : EntityGestioneBase(parent, stampe.isEmpty(), ospitato, StampaTratti::testiGestione())
    , m_propria(stampe.isEmpty() ? std::make_unique<Stampa>() : nullptr)
    , m_stampe(stampe.isEmpty() ? QList<Stampa *> { m_propria.get() } : stampe)
{
    auto *selezionate = new QLabel(tr("Stampe selezionate: %1").arg(stampe.size()), gruppo());
    selezionate->setObjectName(QStringLiteral("lbNumSelected"));
    modulo()->addRow(selezionate);
    m_codice = aggiungiCampo("codice_stampa", tr("Codice:"), 150);
    m_nome = aggiungiCampo("nome", tr("Nome:"), 150);
    const auto combo = [this](const char *nome, const QString &etichetta) {
        auto *c = new QComboBox(gruppo());
        c->setObjectName(QLatin1String(nome));
        c->addItem(QString());
        aggiungiRiga(etichetta, c, true);
        return c;
    };
    m_carta = combo("carta", tr("Carta:"));
    m_formato = combo("formato", tr("Formato:"));
    m_reparto = combo("reparto", tr("Reparto:"));
    m_archiviato = new QCheckBox(gruppo());
    m_archiviato->setObjectName(QStringLiteral("archiviato"));
    aggiungiRiga(tr("Archiviato:"), m_archiviato, false);
    m_descrizione = new QTextEdit(gruppo());
    m_descrizione->setObjectName(QStringLiteral("descrizione"));
    m_descrizione->setAcceptRichText(false);
    aggiungiRiga(tr("Descrizione:"), m_descrizione, false);
    m_prezzo = new QLineEdit(gruppo());
    m_prezzo->setObjectName(QStringLiteral("prezzo"));
    aggiungiRiga(tr("Prezzo:"), m_prezzo, false, new QLabel(QStringLiteral("€"), gruppo()));
    // In a multi-edit the box is written to the prints only once clicked.
    connect(m_archiviato, &QCheckBox::clicked, this, [this] { m_archiviatoToccato = true; });

    caricaElenchi();
    if (isNuovo())
        m_codice->setText(QStringLiteral("001"));
    else if (m_stampe.size() == 1)
        mostraUna(*m_stampe.first());
    else
        mostraComuni();
    m_prezzoMostrato = m_prezzo->text();
    collegaPerNome();
}

StampaGestione::~StampaGestione() = default;

void StampaGestione::caricaElenchi()
{
    WaitCursor attesa;
    StampaTratti::accesso();
    bool fallito = false;
    const auto carica = [&fallito](auto &oggetti, QComboBox *combo, auto elenca) {
        try {
            for (auto *o : elenca()) {
                oggetti.emplace_back(o);
                combo->addItem(testoServizio(o->nome));
            }
        } catch (...) {
            fallito = true;
        }
    };
    carica(m_reparti, m_reparto, [] { return Reparto().lista({}); });
    carica(m_carte, m_carta, [] { return Carta().lista({}); });
    carica(m_formati, m_formato, [] { return Formato().lista({}); });
    if (fallito) {
        attesa.restore();
        DialogFacade::critical(this, windowTitle(),
            tr("Errore imprevisto:\r\nImpossibile completare l'operazione a causa di un "
               "errore.\r\nControllare che sia disponibile una connessione attiva ad internet"));
    }
}

namespace
{
// The combo entry of the object with this identifier (0, the blank one, when none).
template <class T> int voce(const std::vector<std::unique_ptr<T>> &oggetti, int id)
{
    for (size_t i = 0; i < oggetti.size(); ++i) {
        if (oggetti[i]->Getid() == id)
            return int(i) + 1;
    }
    return 0;
}

// The object of a combo entry; an empty one for the blank entry.
template <class T> T scelto(const std::vector<std::unique_ptr<T>> &oggetti, const QComboBox *combo)
{
    const int i = combo->currentIndex();
    return i >= 1 && size_t(i) <= oggetti.size() ? *oggetti[size_t(i - 1)] : T();
}

// The value every print shares, or none.
template <class F> auto comune(const QList<Stampa *> &stampe, F valore)
{
    std::optional<decltype(valore(*stampe.first()))> primo = valore(*stampe.first());
    for (const Stampa *s : stampe) {
        if (valore(*s) != *primo)
            return decltype(primo)();
    }
    return primo;
}
} // namespace

void StampaGestione::mostraUna(const Stampa &s)
{
    m_codice->setText(testoServizio(s.codice_stampa));
    m_nome->setText(testoServizio(s.nome));
    m_descrizione->setPlainText(testoServizio(s.descrizione));
    m_archiviato->setChecked(s.archiviato);
    m_prezzo->setText(testoPrezzo(s.prezzo));
    m_carta->setCurrentIndex(voce(m_carte, s.carta.Getid()));
    m_formato->setCurrentIndex(voce(m_formati, s.formato.Getid()));
    m_reparto->setCurrentIndex(voce(m_reparti, s.reparto.Getid()));
}

void StampaGestione::mostraComuni()
{
    for (QWidget *w : { static_cast<QWidget *>(m_codice), static_cast<QWidget *>(m_nome),
             static_cast<QWidget *>(m_carta), static_cast<QWidget *>(m_formato) })
        w->setEnabled(false);
    if (const auto reparto = comune(m_stampe, [](const Stampa &s) { return s.reparto.Getid(); }))
        m_reparto->setCurrentIndex(voce(m_reparti, *reparto));
    if (const auto descrizione = comune(m_stampe, [](const Stampa &s) { return s.descrizione; }))
        m_descrizione->setPlainText(testoServizio(*descrizione));
    m_archiviato->setChecked(
        comune(m_stampe, [](const Stampa &s) { return s.archiviato; }).value_or(false));
    m_prezzo->setText(
        testoPrezzo(comune(m_stampe, [](const Stampa &s) { return s.prezzo; }).value_or(0.0f)));
}

bool StampaGestione::valida()
{
    // One print, new or changed, needs all of these: a print without its
    // department could not be routed when an order for it arrives.
    if (m_stampe.size() == 1) {
        if (m_codice->text().isEmpty())
            return rifiuta(m_codice, tr("Indicare il codice della stampa."));
        if (m_nome->text().isEmpty())
            return rifiuta(m_nome, tr("Indicare il nome della stampa."));
        if (m_carta->isEnabled() && m_carta->currentIndex() < 1)
            return rifiuta(m_carta, tr("Indicare una carta."));
        if (m_formato->isEnabled() && m_formato->currentIndex() < 1)
            return rifiuta(m_formato, tr("Indicare un formato."));
        if (m_reparto->isEnabled() && m_reparto->currentIndex() < 1)
            return rifiuta(m_reparto, tr("Indicare un reparto."));
    }
    // A price is written unless the field is empty or, in a multi-edit, shows
    // what it showed at the start: a "0,0000" left for differing prices must
    // not set them all to 0.
    const bool applicaPrezzo = !m_prezzo->text().trimmed().isEmpty()
        && (m_stampe.size() == 1 || m_prezzo->isModified() || m_prezzo->text() != m_prezzoMostrato);
    if (applicaPrezzo && !leggiPrezzo(m_prezzo->text()))
        return rifiuta(m_prezzo, tr("Inserire un valore valido per il prezzo."));
    return true;
}

void StampaGestione::trasferisci()
{
    const QString descrizione = m_descrizione->toPlainText();
    const std::optional<float> prezzo = leggiPrezzo(m_prezzo->text());
    if (m_stampe.size() == 1) {
        Stampa *s = m_stampe.first();
        s->codice_stampa = m_codice->text().toStdString();
        s->nome = m_nome->text().toStdString();
        s->descrizione = descrizione.toStdString();
        s->reparto = scelto(m_reparti, m_reparto);
        s->carta = scelto(m_carte, m_carta);
        s->formato = scelto(m_formati, m_formato);
        s->archiviato = m_archiviato->isChecked();
        s->prezzo = prezzo.value_or(0.0f);
        return;
    }
    const bool applicaPrezzo
        = prezzo && (m_prezzo->isModified() || m_prezzo->text() != m_prezzoMostrato);
    for (Stampa *s : qAsConst(m_stampe)) {
        if (!descrizione.isEmpty())
            s->descrizione = descrizione.toStdString();
        if (m_reparto->currentIndex() >= 1)
            s->reparto = scelto(m_reparti, m_reparto);
        if (m_archiviatoToccato)
            s->archiviato = m_archiviato->isChecked();
        if (applicaPrezzo)
            s->prezzo = *prezzo;
    }
}

bool StampaGestione::memorizza()
{
    StampaTratti::accesso();
    return chiamaServizio<Stampa::StampaException>([this] {
        if (isNuovo())
            return m_stampe.first()->inserisci();
        return Stampa().modificaStampe(std::vector<Stampa *>(m_stampe.begin(), m_stampe.end()));
    });
}

QString StampaGestione::erroreMemorizzazione() const
{
    if (m_stampe.size() == 1)
        return tr("Impossibile memorizzare la stampa '%1':\r\n")
            .arg(testoServizio(m_stampe.first()->nome));
    return EntityGestioneBase::erroreMemorizzazione();
}

// --- list window --------------------------------------------------------------

StampaElenco::StampaElenco(QWidget *parent)
    : EntityElenco(parent)
{
    m_mostraArchiviate = new QCheckBox(tr("Mostra le stampe archiviate"), this);
    m_mostraArchiviate->setObjectName(QStringLiteral("archiviato"));
    moduloRicerca()->addRow(m_mostraArchiviate);
    m_archiviate = new QLabel(QStringLiteral("0"), this);
    m_archiviate->setObjectName(QStringLiteral("label_StampeArchiviate"));
    riepilogo()->insertWidget(2, new QLabel(tr("Archiviate:"), this));
    riepilogo()->insertWidget(3, m_archiviate);
}

QString StampaElenco::domandaEliminazione(int quanti) const
{
    return quanti > 1 ? tr("Eliminare definitivamente questi elementi?")
                      : EntityElencoBase::domandaEliminazione(quanti);
}

std::map<std::string, std::string> StampaElenco::filtriRicerca() const
{
    std::map<std::string, std::string> filtri = EntityElencoBase::filtriRicerca();
    filtri["archiviato"] = m_mostraArchiviate->isChecked() ? "1" : "0";
    return filtri;
}

void StampaElenco::aggiornaRiepilogo()
{
    EntityElencoBase::aggiornaRiepilogo();
    int archiviate = 0;
    for (int r = 0; r < modelloEntita()->rowCount(); ++r)
        archiviate += modelloEntita()->entita(r)->archiviato ? 1 : 0;
    m_archiviate->setText(QString::number(archiviate));
}

// One call for all the chosen prints: the service deletes them all or none.
bool StampaElenco::elimina(const QList<int> &righe)
{
    std::vector<Stampa *> scelte;
    for (int riga : righe) {
        if (Stampa *s = modelloEntita()->entita(riga))
            scelte.push_back(s);
    }
    StampaTratti::accesso();
    return chiamaServizio<Stampa::StampaException>([&] { return Stampa().cancellaStampe(scelte); });
}
