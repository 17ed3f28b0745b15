#include "labprova.h"

#include "catalogoprova.h"

#include "appsettings.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QUuid>
#include <QtGlobal>

namespace prova
{

namespace
{
std::string nuovoId()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString();
}

QStringList elenca(const QString &cartella)
{
    QStringList r;
    QDirIterator it(
        cartella, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        r << QDir(cartella).relativeFilePath(it.next());
    r.sort();
    return r;
}
} // namespace

Lab::Lab()
    : m_db(std::make_unique<v2test::TempServiceDb>())
{
    m_db->applyToLibraries();
    QDir().mkpath(percorso("ftp/lab"));
    QDir().mkpath(percorso("Stampe"));
    QDir().mkpath(percorso("QSS"));
    QDir().mkpath(percorso("Inviati"));

    v2test::CatalogoProva c = v2test::creaCatalogoProva(percorso("Stampe"), percorso("QSS"));
    m_repDir = c.repartoDir;
    m_repNor = c.repartoNoritsu;
    m_stampaDir = c.stampaDir;
    m_stampaNor = c.stampaNoritsu;
    m_cliente = c.cliente;
}

Lab::~Lab()
{
    m_ftp.reset();
    m_db.reset();
}

bool Lab::avviaFtp(qint64 downloadLimit)
{
    v2test::FtpServer::Options o;
    o.rootDir = ftpRoot();
    o.downloadLimit = downloadLimit;
    m_ftp = std::make_unique<v2test::FtpServer>(o);
    if (!m_ftp->start()) {
        qWarning("%s", qPrintable(m_ftp->errorString()));
        return false;
    }
    return true;
}

void Lab::impostaSettings() const
{
    AppSettings &s = appSettings();
    s.resetToDefaults();
    if (m_ftp) {
        s.ftpHost = QString::fromStdString(m_ftp->host());
        s.ftpPort = m_ftp->port();
        s.ftpUsername = QString::fromStdString(m_ftp->user());
        s.ftpPassword = QString::fromStdString(m_ftp->password());
    }
    s.ftpRoot = "/lab";
    s.ordineRigaFileDownloadPath = percorso("Inviati");
    s.stampaFotograficaPathExpression = "<formato>/<carta>";
}

QByteArray Lab::contenuto(const std::string &idFile, int byte)
{
    // Distinct bytes per file, so that a mix-up shows.
    const QByteArray seme = QByteArray::fromStdString(idFile);
    QByteArray b;
    b.reserve(byte);
    quint32 x = qHash(seme);
    for (int i = 0; i < byte; ++i) {
        x = x * 1103515245u + 12345u;
        b.append(char(x >> 24));
    }
    return b;
}

void Lab::carica(const File &f, const QByteArray &dati) const
{
    const QString remoto = ftpRoot() + "/lab/" + QString::fromStdString(f.id);
    QFile out(remoto);
    if (!out.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(remoto));
    out.write(dati);
}

std::string Lab::piazza(
    const std::vector<Riga> &righe, Ordini::StatoOrdine stato, const QDateTime &data)
{
    Ordine o(new Utente(m_cliente));
    o.guid = nuovoId();
    o.stato = stato;
    o.data = data.toSecsSinceEpoch();
    o.ultima_modifica = o.data;
    int n = 0;
    for (const Riga &p : righe) {
        OrdineRiga *r = nullptr;
        if (p.tipo == Ordini::STAMPA) {
            auto *s = new OrdineRigaStampa(&o);
            s->stampa = p.noritsu ? m_stampaNor : m_stampaDir;
            s->reparto = s->stampa.reparto;
            s->codice_articolo = s->stampa.codice_stampa;
            r = s;
        } else if (p.tipo == Ordini::FILE) {
            r = new OrdineRigaFile();
            r->codice_articolo = "INVIOFILE";
        } else {
            r = new OrdineRiga();
            r->tipo = Ordini::ALTRO;
            r->codice_articolo = "BUSTA";
        }
        r->guid = nuovoId();
        r->guid_ordine = o.guid;
        r->quantita = p.quantita;
        r->descrizione = "riga";
        if (p.tipo != Ordini::ALTRO) {
            auto *f = new File;
            f->id = nuovoId();
            f->dimensione = p.byte;
            f->nome_file_sorgente = QString("IMG_%1.jpg").arg(++n, 4, 10, QChar('0')).toStdString();
            r->nome_file = f->nome_file_sorgente;
            r->file = f;
            if (p.caricato)
                carica(*f, contenuto(f->id, p.byte));
        }
        o.righe.push_back(r);
    }
    o.inserisci();
    return o.guid;
}

Ordine *Lab::finto(const std::string &id, Ordini::StatoOrdine stato)
{
    auto *o = new Ordine();
    o->guid = id;
    o->stato = stato;
    return o;
}

std::unique_ptr<Ordine> Lab::carica(const std::string &id) const
{
    auto o = std::make_unique<Ordine>();
    if (!o->init(id))
        return nullptr;
    return o;
}

int Lab::stato(const std::string &id) const
{
    auto o = carica(id);
    return o ? int(o->stato) : -1;
}

QStringList Lab::fileSuFtp() const
{
    return elenca(ftpRoot());
}

QStringList Lab::fileIn(const QString &rel) const
{
    return elenca(percorso(rel));
}

} // namespace prova
