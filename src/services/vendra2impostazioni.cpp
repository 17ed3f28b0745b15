#include "vendra2impostazioni.h"

#include "db/admin.h"
#include "db/database.h"

#include <QBuffer>
#include <QDateTime>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QPainter>

using namespace v2db;

namespace vendra2
{

namespace
{

// An object's own access, or the service access of the moment.
std::shared_ptr<const ServiceAccess> accesso(const std::shared_ptr<const ServiceAccess> &proprio)
{
    return proprio ? proprio : serviceAccess();
}

constexpr int BannerWidth = 640;
constexpr int BannerHeight = 79;

// The whole picture, scaled to fit 640 x 79 with its proportions kept and
// centred on white: nothing of the lab's banner is cut away or distorted.
QByteArray fittedBannerJpeg(const QString &path)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QImage source = reader.read();
    if (source.isNull())
        fail(code::Invalid,
            QStringLiteral("Impossibile leggere l'immagine \"%1\": %2")
                .arg(path, reader.errorString()));
    const QImage scaled
        = source.scaled(BannerWidth, BannerHeight, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QImage banner(BannerWidth, BannerHeight, QImage::Format_RGB32);
    banner.fill(Qt::white);
    {
        QPainter p(&banner);
        p.drawImage(
            (BannerWidth - scaled.width()) / 2, (BannerHeight - scaled.height()) / 2, scaled);
    }
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    if (!banner.save(&buffer, "JPEG", 90))
        fail(code::Invalid, QStringLiteral("Impossibile convertire l'immagine in JPEG."));
    return jpeg;
}

} // namespace

// --- Impostazione ------------------------------------------------------------------

Impostazione::Impostazione(ServiceAccess accesso)
    : m_accesso(std::make_shared<const ServiceAccess>(std::move(accesso)))
{
}

std::map<std::string, std::string> Impostazione::listaImpostazioni()
{
    return guardedWith<ImpostazioneException>(
        accesso(m_accesso), Area::Servizio, Uso::Legge, [&](Connection &c) {
            std::map<std::string, std::string> out;
            QSqlQuery q = c.run(QStringLiteral("SELECT chiave, valore FROM impostazioni"));
            while (q.next())
                out[ss(q.value(0))] = ss(q.value(1));
            return out;
        });
}

bool Impostazione::settaImpostazioni(const std::map<std::string, std::string> &impostazioni)
{
    return guardedWith<ImpostazioneException>(
        accesso(m_accesso), Area::Servizio, Uso::Scrive, [&](Connection &c) {
            Transaction t(c);
            for (const auto &kv : impostazioni) {
                if (kv.first.empty())
                    fail(code::Invalid, QStringLiteral("Chiave di impostazione vuota."));
                c.run(
                    QStringLiteral("INSERT INTO impostazioni (chiave, valore) VALUES (?, ?)"
                                   " ON CONFLICT (chiave) DO UPDATE SET valore = excluded.valore"),
                    { qs(kv.first), qs(kv.second) });
            }
            t.commit();
            return true;
        });
}

bool Impostazione::impostaBanner(const std::string &percorsoImmagine, const std::string &url)
{
    return guardedWith<ImpostazioneException>(
        accesso(m_accesso), Area::Servizio, Uso::Scrive, [&](Connection &c) {
            const QString path = QString::fromStdString(percorsoImmagine);
            if (path.isEmpty() || !QFileInfo(path).isFile())
                fail(code::Invalid, QStringLiteral("L'immagine \"%1\" non esiste.").arg(path));
            const QByteArray jpeg = fittedBannerJpeg(path);
            c.run(QStringLiteral("INSERT INTO banner (id, nome, immagine, url, data)"
                                 " VALUES (1, ?, ?, ?, ?) ON CONFLICT (id) DO UPDATE SET"
                                 " nome = excluded.nome, immagine = excluded.immagine,"
                                 " url = excluded.url, data = excluded.data"),
                { QFileInfo(path).fileName(), QString::fromLatin1(jpeg.toBase64()), qs(url),
                    QDateTime::currentSecsSinceEpoch() });
            return true;
        });
}

bool Impostazione::rimuoviBanner()
{
    return guardedWith<ImpostazioneException>(
        accesso(m_accesso), Area::Servizio, Uso::Scrive, [&](Connection &c) {
            c.run(QStringLiteral("DELETE FROM banner"));
            return true;
        });
}

Impostazione::clientBanner Impostazione::ottieniBannerCorrente()
{
    return guardedWith<ImpostazioneException>(
        accesso(m_accesso), Area::Servizio, Uso::Legge, [&](Connection &c) {
            clientBanner b;
            QSqlQuery q = c.run(
                QStringLiteral("SELECT nome, immagine, url, data FROM banner WHERE id = 1"));
            if (q.next()) {
                b.nome = ss(q.value(0));
                b.immagine = ss(q.value(1));
                b.url = ss(q.value(2));
                b.data = q.value(3).toLongLong();
                b.presente = true;
            }
            return b;
        });
}

// --- Aggiornamento -----------------------------------------------------------------

Aggiornamento::Aggiornamento(ServiceAccess accesso)
    : m_accesso(std::make_shared<const ServiceAccess>(std::move(accesso)))
{
}

Aggiornamento::AggiornamentoItem Aggiornamento::ottieniAggiornamento(
    vendra2__IdComponenteType componente) const
{
    return guardedWith<AggiornamentoException>(
        accesso(m_accesso), Area::Servizio, Uso::Legge,
        [&](Connection &c) {
            AggiornamentoItem item;
            item.tipoComponente = componente;
            QSqlQuery q = c.run(QStringLiteral("SELECT major, minor, build, url FROM aggiornamenti"
                                               " WHERE componente = ? ORDER BY major DESC,"
                                               " minor DESC, build DESC, id DESC LIMIT 1"),
                { int(componente) });
            if (q.next()) {
                item.major = q.value(0).toInt();
                item.minor = q.value(1).toInt();
                item.build = q.value(2).toInt();
                item.url = ss(q.value(3));
            }
            return item;
        },
        true);
}

bool Aggiornamento::pubblicaAggiornamento()
{
    return guardedWith<AggiornamentoException>(
        accesso(m_accesso), Area::Servizio, Uso::Scrive, [&](Connection &c) {
            c.run(QStringLiteral("INSERT INTO pubblicazioni (data) VALUES (?)"),
                { QDateTime::currentSecsSinceEpoch() });
            return true;
        });
}

// --- maintenance -------------------------------------------------------------------

// Both need an authenticated operator: only the update query is open to
// every client.
void registraAggiornamento(const Aggiornamento::AggiornamentoItem &item)
{
    guarded<Aggiornamento::AggiornamentoException>(Area::Servizio, Uso::Scrive, [&](Connection &c) {
        c.run(QStringLiteral("INSERT INTO aggiornamenti (componente, major, minor, build,"
                             " url, data) VALUES (?, ?, ?, ?, ?, ?)"),
            { int(item.tipoComponente), item.major, item.minor, item.build, qs(item.url),
                QDateTime::currentSecsSinceEpoch() });
        return true;
    });
}

StatoPubblicazioni statoPubblicazioni()
{
    return guarded<Aggiornamento::AggiornamentoException>(
        Area::Servizio, Uso::Legge, [&](Connection &c) {
            StatoPubblicazioni s;
            QSqlQuery q = c.run(
                QStringLiteral("SELECT COUNT(*), COALESCE(MAX(data), 0) FROM pubblicazioni"));
            if (q.next()) {
                s.conteggio = q.value(0).toInt();
                s.ultima = q.value(1).toLongLong();
            }
            return s;
        });
}

} // namespace vendra2
