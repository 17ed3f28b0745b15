#include "labsim.h"

#include "imagegen.h"

#include "anagrafica.h"
#include "ftp/ftpclient.h"
#include "ordini.h"
#include "prodotti.h"
#include "vendra2impostazioni.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSize>
#include <QTemporaryDir>
#include <QUuid>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>

namespace labsim
{

namespace
{

std::string bytes(const QString &text)
{
    return text.toStdString();
}
QString qtext(const std::string &text)
{
    return QString::fromStdString(text);
}

std::string quoted(const QString &text)
{
    return bytes(QStringLiteral("'") + QString(text).replace(QLatin1Char('\''), QLatin1String("''"))
        + QStringLiteral("'"));
}

// The libraries hand out new records that the caller owns.
template <class T> std::vector<std::unique_ptr<T>> adopt(const std::vector<T *> &records)
{
    std::vector<std::unique_ptr<T>> owned;
    owned.reserve(records.size());
    for (T *record : records)
        owned.emplace_back(record);
    return owned;
}

std::vector<std::unique_ptr<Stampa>> allPrints()
{
    Stampa probe;
    std::vector<std::unique_ptr<Stampa>> prints;
    for (Articolo *articolo : probe.lista({})) {
        std::unique_ptr<Articolo> owned(articolo);
        if (auto *stampa = dynamic_cast<Stampa *>(articolo)) {
            owned.release();
            prints.emplace_back(stampa);
        }
    }
    std::sort(prints.begin(), prints.end(),
        [](const auto &a, const auto &b) { return a->codice_stampa < b->codice_stampa; });
    return prints;
}

std::unique_ptr<Utente> findCustomer(const QString &username)
{
    Utente probe;
    auto found = adopt(probe.listaSQL(0, 1, "username = " + quoted(username), ""));
    if (found.empty())
        return nullptr;
    return std::move(found.front());
}

QString newId()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

QString padded(int value)
{
    return QString::number(value).rightJustified(5, QLatin1Char('0'));
}

// --- the demo catalog -------------------------------------------------------

struct CustomerData {
    const char *username;
    const char *nome;
    const char *cognome;
    const char *ragioneSociale;
    const char *indirizzo;
    const char *cap;
    const char *citta;
    const char *provincia;
    const char *piva;
    int pagamento;
    float spedizione;
};

const CustomerData kCustomers[] = {
    { "mrossi", "Mario", "Rossi", "", "Via Roma 12", "20121", "Milano", "MI", "", 0, 5.0f },
    { "fotobianchi", "Luca", "Bianchi", "Foto Studio Bianchi s.r.l.", "Corso Francia 88", "10143",
        "Torino", "TO", "01234567890", 0, 0.0f },
    { "gverdi", "Giulia", "Verdi", "", "Via Appia Nuova 240", "00183", "Roma", "RM", "", 1, 6.5f },
    { "acmefoto", "Paolo", "Esposito", "ACME Fotografia S.n.c.", "Via Toledo 5", "80134", "Napoli",
        "NA", "09876543210", 0, 0.0f },
    { "lferrari", "Laura", "Ferrari", "", "Via dell'Indipendenza 3", "40121", "Bologna", "BO", "",
        1, 5.0f },
    { "studioluce", "Anna", "Romano", "Studio Luce di Romano Anna", "Borgo Pinti 21", "50121",
        "Firenze", "FI", "05555555551", 0, 0.0f },
};

struct PaperData {
    const char *code;
    const char *name;
    float surcharge;
};
const PaperData kPapers[]
    = { { "LUC", "Lucida", 0.0f }, { "OPA", "Opaca", 0.02f }, { "SAT", "Satinata", 0.05f } };

struct FormatData {
    const char *code;
    double widthCm;
    double heightCm;
    float price;
};
constexpr int kDpi = 300;
const FormatData kFormats[] = { { "10x15", 10, 15, 0.15f }, { "13x18", 13, 18, 0.35f },
    { "15x20", 15, 20, 0.50f }, { "20x30", 20, 30, 1.90f } };

struct DepartmentData {
    const char *name;
    const char *folder;
    const char *type;
    const char *channel;
};
const DepartmentData kMinilab = { "Minilab", "noritsu", "canale_noritsu", "12" };
const DepartmentData kDigitale = { "Stampa digitale", "stampe", "directory", "" };
const DepartmentData kGrandi = { "Grandi formati", "grandi_formati", "directory", "" };
const DepartmentData kDepartments[] = { kMinilab, kDigitale, kGrandi };

// Glossy prints up to 15x20 go to the minilab, the large size to the large
// format printer, the other papers to the digital press.
const char *departmentFor(const PaperData &paper, const FormatData &format)
{
    if (qstrcmp(format.code, "20x30") == 0)
        return kGrandi.name;
    if (qstrcmp(paper.code, "LUC") == 0)
        return kMinilab.name;
    return kDigitale.name;
}

int pixels(double cm)
{
    return int(std::lround(kDpi * cm / 2.54));
}

void seedOperator(SeedResult &result, QTextStream &log)
{
    Operatore probe;
    if (!adopt(probe.listaSQL(0, 1, "username = 'operatore'", "")).empty()) {
        ++result.existing;
        return;
    }
    Operatore op;
    op.codice_operatore = bytes(padded(probe.prossimoCodiceOperatore()));
    op.username = "operatore";
    op.password = "operatore";
    op.stato_account = Account::ABILITATO;
    op.nome = "Sara";
    op.cognome = "Colombo";
    op.email = "operatore@example.com";
    for (auto a : { Anagrafica::VISUALIZZAZIONE_UTENTI, Anagrafica::VISUALIZZAZIONE_OPERATORI,
             Anagrafica::VISUALIZZAZIONE_PRODOTTI, Anagrafica::GESTIONE_ORDINI,
             Anagrafica::VISUALIZZAZIONE_ORDINI, Anagrafica::VISUALIZZAZIONE_REPARTI })
        op.aggiungiAutorizzazione(a);
    op.inserisci();
    ++result.created;
    log << "operator operatore created\n";
}

void seedCustomers(SeedResult &result, QTextStream &log)
{
    for (const CustomerData &c : kCustomers) {
        Utente probe;
        if (probe.esiste(c.username)) {
            ++result.existing;
            continue;
        }
        Utente u;
        u.codice_utente = bytes(padded(probe.prossimoCodiceUtente()));
        u.username = c.username;
        u.password = "cliente";
        u.stato_account = Account::ABILITATO;
        u.nome = c.nome;
        u.cognome = c.cognome;
        u.ragione_sociale = c.ragioneSociale;
        u.email = std::string(c.username) + "@example.com";
        u.indirizzo = c.indirizzo;
        u.cap = c.cap;
        u.citta = c.citta;
        u.provincia = c.provincia;
        u.piva = c.piva;
        u.pagamento = c.pagamento;
        u.spedizione = c.spedizione;
        u.notifiche_email = Utente::NOTIFICA_NUOVO_ORDINE | Utente::NOTIFICA_EVASO;
        u.inserisci();
        ++result.created;
        log << "customer " << c.username << " created\n";
    }
}

std::map<std::string, std::unique_ptr<Carta>> seedPapers(SeedResult &result, QTextStream &log)
{
    auto byCode = [] {
        std::map<std::string, std::unique_ptr<Carta>> map;
        Carta probe;
        for (auto &c : adopt(probe.lista({})))
            map[c->codice_carta] = std::move(c);
        return map;
    };
    auto existing = byCode();
    for (const PaperData &p : kPapers) {
        if (existing.count(p.code)) {
            ++result.existing;
            continue;
        }
        Carta c;
        c.codice_carta = p.code;
        c.nome = p.name;
        c.inserisci();
        ++result.created;
        log << "paper " << p.name << " created\n";
    }
    return byCode();
}

std::map<std::string, std::unique_ptr<Formato>> seedFormats(SeedResult &result, QTextStream &log)
{
    auto byCode = [] {
        std::map<std::string, std::unique_ptr<Formato>> map;
        Formato probe;
        for (auto &f : adopt(probe.lista({})))
            map[f->codice_formato] = std::move(f);
        return map;
    };
    auto existing = byCode();
    for (const FormatData &f : kFormats) {
        if (existing.count(f.code)) {
            ++result.existing;
            continue;
        }
        Formato format;
        format.codice_formato = f.code;
        format.nome = f.code;
        format.larghezza = pixels(f.widthCm);
        format.altezza = pixels(f.heightCm);
        format.dpi = kDpi;
        format.inserisci();
        ++result.created;
        log << "format " << f.code << " created\n";
    }
    return byCode();
}

std::map<std::string, std::unique_ptr<Reparto>> seedDepartments(
    const QDir &root, SeedResult &result, QTextStream &log)
{
    auto byName = [] {
        std::map<std::string, std::unique_ptr<Reparto>> map;
        Reparto probe;
        for (auto &r : adopt(probe.lista({})))
            map[r->nome] = std::move(r);
        return map;
    };
    auto existing = byName();
    for (const DepartmentData &d : kDepartments) {
        const QString folder = root.absoluteFilePath(QLatin1String(d.folder));
        if (!QDir().mkpath(folder))
            throw Error(QStringLiteral("cannot create the folder %1").arg(folder));
        auto it = existing.find(d.name);
        if (it == existing.end()) {
            Reparto r;
            r.nome = d.name;
            r.percorso = bytes(folder);
            r.tipo = d.type;
            r.canale_numero = d.channel;
            r.inserisci();
            ++result.created;
            log << "department " << d.name << " created at " << folder << "\n";
            continue;
        }
        ++result.existing;
        // A demo lab moved to another root follows it.
        Reparto &r = *it->second;
        if (qtext(r.percorso) != folder || r.tipo != d.type || r.canale_numero != d.channel) {
            r.percorso = bytes(folder);
            r.tipo = d.type;
            r.canale_numero = d.channel;
            r.modifica();
            log << "department " << d.name << " moved to " << folder << "\n";
        }
    }
    return byName();
}

void seedPrints(const std::map<std::string, std::unique_ptr<Carta>> &papers,
    const std::map<std::string, std::unique_ptr<Formato>> &formats,
    const std::map<std::string, std::unique_ptr<Reparto>> &departments, SeedResult &result,
    QTextStream &log)
{
    std::map<std::string, bool> existing;
    for (const auto &p : allPrints())
        existing[p->codice_stampa] = true;

    for (const PaperData &p : kPapers) {
        for (const FormatData &f : kFormats) {
            const std::string code = std::string(p.code) + " - " + f.code;
            if (existing.count(code)) {
                ++result.existing;
                continue;
            }
            const auto paper = papers.find(p.code);
            const auto format = formats.find(f.code);
            const auto department = departments.find(departmentFor(p, f));
            if (paper == papers.end() || format == formats.end() || department == departments.end())
                throw Error(
                    QStringLiteral("the catalog lost a record while seeding %1").arg(qtext(code)));
            Stampa s;
            s.codice_stampa = code;
            s.nome = std::string(p.name) + " - " + f.code;
            s.descrizione = "Stampa fotografica " + std::string(f.code) + " su carta " + p.name;
            s.prezzo = f.price + p.surcharge;
            s.carta = *paper->second;
            s.formato = *format->second;
            s.reparto = *department->second;
            s.inserisci();
            ++result.created;
            log << "print " << qtext(code) << " created\n";
        }
    }
}

void seedSettings(const QDir &root, const FtpAccess &ftp, QTextStream &log)
{
    const QString sent = root.absoluteFilePath(QStringLiteral("invio_file"));
    if (!QDir().mkpath(sent))
        throw Error(QStringLiteral("cannot create the folder %1").arg(sent));

    Impostazione impostazione;
    std::map<std::string, std::string> map = impostazione.listaImpostazioni();
    if (!ftp.host.isEmpty())
        map["FTPHOST"] = bytes(ftp.host);
    if (ftp.port != 0)
        map["FTPPORT"] = std::to_string(ftp.port);
    if (!ftp.user.isEmpty())
        map["FTPUSERNAME"] = bytes(ftp.user);
    if (!ftp.password.isEmpty())
        map["FTPPASSWORD"] = bytes(ftp.password);
    if (ftp.rootGiven)
        map["FTPROOT"] = bytes(ftp.root);
    map["ORDINERIGAFILEDOWNLOADPATH"] = bytes(sent);
    map["STAMPA_FOTOGRAFICA_FILENAME_EXPRESSION"] = "<numerofile>(<qta>)";
    // Directory departments sort by size and paper, every department by
    // customer and order; the customer code keeps order folders apart.
    map["STAMPA_FOTOGRAFICA_PATH_EXPRESSION"] = "<formato>/<carta>";
    map["PATH_ANTEPOST"] = "<intestatario>";
    map["PATH_ACCODA"] = "-<codice>";
    impostazione.settaImpostazioni(map);
    log << "server settings stored\n";
}

// --- orders -----------------------------------------------------------------

struct Article {
    const char *code;
    const char *description;
    double price;
};
const Article kArticles[] = { { "SPED", "Spedizione", 5.0 }, { "CD", "Masterizzazione CD", 3.5 },
    { "BUSTA", "Busta portafoto", 0.5 } };

const char *const kEndCustomers[]
    = { "Matrimonio Conti - Galli", "Comunione di Marco", "Famiglia Ricci", "Battesimo Sofia" };
const char *const kNotes[]
    = { "Ritiro in negozio", "Consegna urgente", "Bordo bianco se possibile" };

struct RemoteTarget {
    std::unique_ptr<FTPClient> client;
    QString root;
};

QString remotePath(const QString &root, const QString &folder, const QString &id)
{
    // Where the download worker will look: root, folder, then the file id.
    QString path = root;
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    QString sub = folder;
    if (sub.startsWith(QLatin1Char('/')))
        sub.remove(0, 1);
    return path + sub + id;
}

} // namespace

void FtpAccess::completeFromServer()
{
    if (!host.isEmpty() && port != 0 && !user.isEmpty() && !password.isEmpty() && rootGiven)
        return;
    Impostazione impostazione;
    const std::map<std::string, std::string> map = impostazione.listaImpostazioni();
    auto value = [&map](const char *key) {
        const auto it = map.find(key);
        return it == map.end() ? QString() : qtext(it->second);
    };
    if (host.isEmpty())
        host = value("FTPHOST");
    if (port == 0) {
        bool ok = false;
        const uint p = value("FTPPORT").toUInt(&ok);
        port = ok && p <= 65535 ? quint16(p) : 0;
    }
    if (user.isEmpty())
        user = value("FTPUSERNAME");
    if (password.isEmpty())
        password = value("FTPPASSWORD");
    if (!rootGiven) {
        root = value("FTPROOT");
        rootGiven = true;
    }
}

SeedResult seed(const SeedOptions &options, QTextStream &log)
{
    if (options.root.isEmpty())
        throw Error(QStringLiteral("seed needs --root"));
    if (!QDir().mkpath(options.root))
        throw Error(QStringLiteral("cannot create the folder %1").arg(options.root));
    const QDir root(QDir(options.root).absolutePath());

    SeedResult result;
    seedOperator(result, log);
    seedCustomers(result, log);
    const auto papers = seedPapers(result, log);
    const auto formats = seedFormats(result, log);
    const auto departments = seedDepartments(root, result, log);
    seedPrints(papers, formats, departments, result, log);
    seedSettings(root, options.ftp, log);
    return result;
}

QVector<OrderRequest> randomOrders(const RandomOptions &options)
{
    if (options.orders < 1)
        throw Error(QStringLiteral("--random needs at least one order"));
    if (options.types.isEmpty())
        throw Error(QStringLiteral("no line type to draw from"));

    Utente probe;
    auto customers = adopt(probe.listaSQL(0, 0, "", ""));
    customers.erase(std::remove_if(customers.begin(), customers.end(),
                        [](const auto &u) { return u->stato_account != Account::ABILITATO; }),
        customers.end());
    std::sort(customers.begin(), customers.end(),
        [](const auto &a, const auto &b) { return a->username < b->username; });
    auto prints = allPrints();
    prints.erase(
        std::remove_if(prints.begin(), prints.end(), [](const auto &s) { return s->archiviato; }),
        prints.end());
    if (customers.empty())
        throw Error(QStringLiteral("no enabled customer on the service: run seed first"));
    if (prints.empty() && options.types.contains(2))
        throw Error(QStringLiteral("no print on the service: run seed first"));

    for (int type : options.types) {
        if (type < 0 || type > 2)
            throw Error(QStringLiteral("line types must be 0, 1 or 2"));
    }
    const bool articles = options.types.contains(0);
    const bool files = options.types.contains(1);
    const bool photos = options.types.contains(2);

    QRandomGenerator rng(options.seed);
    auto pick = [&rng](int n) { return int(rng.bounded(n)); };
    auto article = [&pick] {
        const Article &a = kArticles[pick(3)];
        LineRequest line;
        line.type = 0;
        line.article = QLatin1String(a.code);
        line.description = QLatin1String(a.description);
        line.price = a.price;
        line.hasPrice = true;
        return line;
    };

    QVector<OrderRequest> orders;
    int imageNumber = 1 + pick(8000);
    for (int i = 0; i < options.orders; ++i) {
        OrderRequest order;
        order.customer = qtext(customers[size_t(pick(int(customers.size())))]->username);
        if (pick(3) == 0)
            order.endCustomer = QLatin1String(kEndCustomers[pick(4)]);
        if (pick(4) == 0)
            order.notes = QLatin1String(kNotes[pick(3)]);
        const int lines = options.linesPerOrder > 0 ? options.linesPerOrder : 1 + pick(6);
        for (int j = 0; j < lines; ++j) {
            if (!files && !photos) {
                order.lines.append(article());
                continue;
            }
            // Prints are most of what a lab receives.
            LineRequest line;
            line.type = photos && (!files || pick(10) < 8) ? 2 : 1;
            if (line.type == 2) {
                line.print = qtext(prints[size_t(pick(int(prints.size())))]->codice_stampa);
                line.quantity = 1 + pick(5);
                line.sourceName
                    = QStringLiteral("IMG_%1.jpg").arg(imageNumber++, 4, 10, QLatin1Char('0'));
            } else {
                line.sourceName = QStringLiteral("allegato_%1.jpg").arg(imageNumber++);
            }
            if (options.imageBytes > 0) {
                line.bytes = options.imageBytes;
            } else {
                line.width = 640 + pick(1200);
                line.height = line.width * 2 / 3;
            }
            order.lines.append(line);
        }
        // Now and then an article rides along with the files.
        if (articles && (files || photos) && pick(3) == 0)
            order.lines.insert(pick(order.lines.size() + 1), article());
        orders.append(order);
    }
    return orders;
}

QVector<PlacedOrder> placeOrders(
    const QVector<OrderRequest> &orders, const FtpAccess &ftp, QTextStream &log)
{
    // Check every order against the service before anything is uploaded.
    std::map<QString, std::unique_ptr<Stampa>> prints;
    for (auto &p : allPrints())
        prints[qtext(p->codice_stampa)] = std::move(p);
    std::map<QString, std::unique_ptr<Utente>> customers;
    bool needsFtp = false;
    for (int i = 0; i < orders.size(); ++i) {
        const OrderRequest &order = orders[i];
        if (!customers.count(order.customer)) {
            auto customer = findCustomer(order.customer);
            if (!customer)
                throw Error(QStringLiteral("order %1: no customer \"%2\" on the service")
                                .arg(i + 1)
                                .arg(order.customer));
            customers[order.customer] = std::move(customer);
        }
        for (int j = 0; j < order.lines.size(); ++j) {
            const LineRequest &line = order.lines[j];
            needsFtp = needsFtp || line.carriesFile();
            if (line.type == 2 && !prints.count(line.print))
                throw Error(QStringLiteral("order %1, line %2: no print \"%3\" on the service")
                                .arg(i + 1)
                                .arg(j + 1)
                                .arg(line.print));
            if (line.carriesFile() && line.bytes > 0 && line.bytes < minimumJpegSize())
                throw Error(QStringLiteral("order %1, line %2: %3 bytes cannot hold an image "
                                           "(at least %4)")
                                .arg(i + 1)
                                .arg(j + 1)
                                .arg(line.bytes)
                                .arg(minimumJpegSize()));
        }
    }

    std::unique_ptr<FTPClient> client;
    if (needsFtp) {
        if (ftp.host.isEmpty())
            throw Error(QStringLiteral("no FTP host: give --ftp-host or seed the server "
                                       "settings with one"));
        client = std::make_unique<FTPClient>(
            bytes(ftp.host), ftp.port ? ftp.port : 21, bytes(ftp.user), bytes(ftp.password));
        if (!ftp.root.isEmpty())
            client->setWorkingDir(bytes(ftp.root));
    }
    QTemporaryDir scratch;
    if (!scratch.isValid())
        throw Error(QStringLiteral("cannot create a temporary folder"));

    QVector<PlacedOrder> placed;
    for (int i = 0; i < orders.size(); ++i) {
        const OrderRequest &request = orders[i];
        const Utente &customer = *customers[request.customer];
        const qint64 now = QDateTime::currentSecsSinceEpoch();

        Ordine ordine(new Utente(customer));
        ordine.guid = bytes(newId());
        ordine.stato = Ordini::PENDENTE;
        ordine.data = now;
        ordine.ultima_modifica = now;
        ordine.cliente_finale = bytes(request.endCustomer);
        ordine.note = bytes(request.notes);
        ordine.spese_spedizione = customer.spedizione;

        PlacedOrder result;
        double total = customer.spedizione;
        int imageNumber = 0;
        // Images of an order that could not be recorded would never be fetched.
        QStringList uploaded;
        try {
            for (int j = 0; j < request.lines.size(); ++j) {
                const LineRequest &line = request.lines[j];
                std::unique_ptr<OrdineRiga> riga;
                QSize size(line.width, line.height);
                QString caption;
                if (line.type == 2) {
                    const Stampa &stampa = *prints[line.print];
                    auto r = std::make_unique<OrdineRigaStampa>(&ordine);
                    r->stampa = stampa;
                    r->reparto = stampa.reparto;
                    r->codice_articolo = stampa.codice_stampa;
                    r->descrizione
                        = line.description.isEmpty() ? stampa.nome : bytes(line.description);
                    r->prezzo_unitario = line.hasPrice ? float(line.price) : stampa.prezzo;
                    if (size.isEmpty() && stampa.formato.larghezza > 0
                        && stampa.formato.altezza > 0)
                        size = QSize(stampa.formato.larghezza, stampa.formato.altezza);
                    caption = qtext(stampa.nome);
                    riga = std::move(r);
                } else if (line.type == 1) {
                    auto r = std::make_unique<OrdineRigaFile>();
                    r->codice_articolo = "INVIOFILE";
                    r->descrizione
                        = line.description.isEmpty() ? "Invio file" : bytes(line.description);
                    r->prezzo_unitario = float(line.price);
                    caption = QStringLiteral("Invio file");
                    riga = std::move(r);
                } else {
                    riga = std::make_unique<OrdineRiga>();
                    riga->tipo = Ordini::ALTRO;
                    riga->codice_articolo = bytes(line.article);
                    riga->descrizione
                        = bytes(line.description.isEmpty() ? line.article : line.description);
                    riga->prezzo_unitario = float(line.price);
                }
                riga->guid = bytes(newId());
                riga->guid_ordine = ordine.guid;
                riga->quantita = line.quantity;
                total += double(riga->prezzo_unitario) * line.quantity;

                if (line.carriesFile()) {
                    ++imageNumber;
                    const QString source = line.sourceName.isEmpty()
                        ? QStringLiteral("IMG_%1.jpg").arg(imageNumber, 4, 10, QLatin1Char('0'))
                        : line.sourceName;
                    const QString id = newId();
                    caption = QStringLiteral("%1\n%2\n%3").arg(request.customer, source, caption);
                    // The same order file gives the same pictures.
                    const quint32 seed = quint32(i) * 7919u + quint32(j) * 104729u + 17u;
                    QByteArray image;
                    if (line.bytes > 0)
                        image = jpegOfSize(line.bytes, caption, seed);
                    else
                        image = renderJpeg(size.isEmpty() ? 1024 : size.width(),
                            size.isEmpty() ? 768 : size.height(), caption, seed);

                    const QString local = scratch.filePath(id);
                    QFile file(local);
                    if (!file.open(QIODevice::WriteOnly) || file.write(image) != image.size()
                        || !file.flush())
                        throw Error(
                            QStringLiteral("cannot write %1: %2").arg(local, file.errorString()));
                    file.close();
                    const QString remote = remotePath(ftp.root, QString(), id);
                    client->uploadFile(bytes(local), bytes(remote), false);
                    uploaded.append(remote);
                    QFile::remove(local);

                    auto *f = new File;
                    f->id = bytes(id);
                    f->dimensione = image.size();
                    f->cartella = "";
                    f->scaricato = false;
                    f->nome_file_sorgente = bytes(source);
                    riga->nome_file = bytes(source);
                    riga->file = f;
                    ++result.files;
                    result.bytes += image.size();
                }
                ordine.righe.push_back(riga.release());
            }
            ordine.totale = float(total);
            ordine.inserisci();
        } catch (...) {
            for (const QString &remote : uploaded) {
                try {
                    client->removeFile(bytes(remote));
                } catch (const FTPClientException &) {
                    // The first failure is the one to report.
                }
            }
            throw;
        }

        result.guid = qtext(ordine.guid);
        result.numero = ordine.numero;
        placed.append(result);
        log << "order " << result.numero << " (" << result.guid << ") for " << request.customer
            << ": " << request.lines.size() << " lines, " << result.files << " files, "
            << result.bytes << " bytes\n";
        log.flush();
    }
    if (client)
        client->close();
    return placed;
}

} // namespace labsim
