#include "labprova.h"

#include "appsettings.h"
#include "ordinedownloadthread.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTest>
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
} // namespace

Riga riga(Ordini::TipoRiga tipo, const QString &sorgente, const QByteArray &dati, bool noritsu,
    int quantita, const std::string &cartellaFtp)
{
    Riga r;
    r.tipo = tipo;
    r.byte = dati.size();
    r.noritsu = noritsu;
    r.quantita = quantita;
    r.sorgente = sorgente;
    r.dati = dati;
    r.cartellaFtp = cartellaFtp;
    return r;
}

Rapporto esegui(OrdineDownloadThread &w,
    const std::function<void(const Rapporto &, int done)> &durante,
    const std::function<void()> &avviato)
{
    Rapporto r;
    QObject ctx;
    QObject::connect(
        &w, &OrdineDownloadThread::errorOccurred, &ctx, [&](const QString &m) { r.errori << m; });
    QObject::connect(&w, &OrdineDownloadThread::orderTerminated, &ctx, [&] { ++r.terminati; });
    QObject::connect(
        &w, &OrdineDownloadThread::orderSkipped, &ctx, [&](const QString &m) { r.saltati << m; });
    QObject::connect(&w, &OrdineDownloadThread::fileTerminated, &ctx,
        [&](int c, int t) { r.fileTerminati << qMakePair(c, t); });
    QObject::connect(&w, &OrdineDownloadThread::globalFileProgress, &ctx,
        [&](int d, int t) { r.globale << qMakePair(d, t); });
    QObject::connect(&w, &OrdineDownloadThread::currentProcessingFileChanged, &ctx,
        [&](const QString &f) { r.correnti << f; });
    QObject::connect(&w, &OrdineDownloadThread::fileProgress, &ctx, [&](int d, int t) {
        r.file << qMakePair(d, t);
        if (durante)
            durante(r, d);
    });
    w.start();
    if (avviato)
        avviato();
    QDeadlineTimer limite(120000);
    while (!w.isFinished() && !limite.hasExpired())
        QTest::qWait(20);
    // Let the last queued signals arrive.
    QTest::qWait(100);
    QCoreApplication::processEvents();
    return r;
}

QStringList Lab::elenca(const QString &cartella)
{
    QStringList r;
    QDirIterator it(
        cartella, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        r << QDir(cartella).relativeFilePath(it.next());
    r.sort();
    return r;
}

QByteArray Lab::leggi(const QString &percorso)
{
    QFile f(percorso);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

Lab::Lab()
    : m_db(std::make_unique<v2test::TempServiceDb>())
{
    m_db->applyToLibraries();
    QDir().mkpath(percorso("ftp/lab"));
    QDir().mkpath(percorso("Stampe"));
    QDir().mkpath(percorso("QSS"));
    QDir().mkpath(percorso("Inviati"));
    m_catalogo = v2test::creaCatalogoProva(percorso("Stampe"), percorso("QSS"));
}

bool Lab::avviaFtp(qint64 downloadLimit)
{
    v2test::FtpServer::Options o;
    o.downloadLimit = downloadLimit;
    return avviaFtp(o);
}

bool Lab::avviaFtp(v2test::FtpServer::Options o)
{
    o.rootDir = ftpRoot();
    m_ftp.reset();
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

QString Lab::remoto(const File &f) const
{
    return ftpRoot() + "/lab/" + QString::fromStdString(f.cartella).remove(0, 1)
        + QString::fromStdString(f.id);
}

void Lab::carica(const File &f, const QByteArray &dati) const
{
    const QString percorso = remoto(f);
    QDir().mkpath(QFileInfo(percorso).path());
    QFile out(percorso);
    if (!out.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(percorso));
    out.write(dati);
}

std::string Lab::piazza(
    const std::vector<Riga> &righe, Ordini::StatoOrdine stato, const QDateTime &data)
{
    Ordine o(new Utente(m_catalogo.cliente));
    o.guid = nuovoId();
    o.stato = stato;
    o.data = data.toSecsSinceEpoch();
    o.ultima_modifica = o.data;
    int n = 0;
    for (const Riga &p : righe) {
        OrdineRiga *r = nullptr;
        if (p.tipo == Ordini::STAMPA) {
            auto *s = new OrdineRigaStampa(&o);
            s->stampa = p.noritsu ? m_catalogo.stampaNoritsu : m_catalogo.stampaDir;
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
            const QByteArray dati = p.dati.isEmpty() ? contenuto(f->id, p.byte) : p.dati;
            f->dimensione = p.dimensioneRegistrata >= 0 ? p.dimensioneRegistrata : dati.size();
            f->cartella = p.cartellaFtp;
            ++n;
            f->nome_file_sorgente = p.sorgente.isEmpty()
                ? QString("IMG_%1.jpg").arg(n, 4, 10, QChar('0')).toStdString()
                : p.sorgente.toStdString();
            r->nome_file = f->nome_file_sorgente;
            r->file = f;
            if (p.caricato)
                carica(*f, dati);
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
