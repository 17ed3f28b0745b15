#include "percorsidownload.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QStringList>

const char *const PercorsiDownload::NomeFileDefault = "<numerofile>(<qta>)";
const char *const PercorsiDownload::TipoDirectory = "directory";
const char *const PercorsiDownload::TipoNoritsu = "canale_noritsu";

namespace
{

// A padding wider than any file name can hold is a typing error, not a wish
// for a multi-megabyte name.
const int LarghezzaMassimaQta = 200;

QString trimFine(QString s)
{
    int n = s.size();
    while (n > 0 && s.at(n - 1) == QLatin1Char(' '))
        --n;
    s.truncate(n);
    return s;
}

QString conBarra(const QString &s)
{
    return s.endsWith(QLatin1Char('/')) ? s : s + QLatin1Char('/');
}

bool nomeRiservatoWindows(const QString &nome)
{
    const QString base = nome.section(QLatin1Char('.'), 0, 0).trimmed().toUpper();
    static const QStringList fissi = { "CON", "PRN", "AUX", "NUL" };
    if (fissi.contains(base))
        return true;
    static const QRegularExpression porte("^(COM|LPT)[1-9]$");
    return porte.match(base).hasMatch();
}

// Last component of a path written with either separator.
QString ultimoComponente(const QString &nome)
{
    const int i = qMax(nome.lastIndexOf(QLatin1Char('/')), nome.lastIndexOf(QLatin1Char('\\')));
    return nome.mid(i + 1);
}

} // namespace

PercorsiDownload::PercorsiDownload(ImpostazioniPercorsi impostazioni)
    : imp(std::move(impostazioni))
{
}

QString PercorsiDownload::espandi(
    const QString &espressione, Espressione tipo, const DatiRigaPercorso &dati, int numeroStampa)
{
    QHash<QString, QString> valori;
    switch (tipo) {
    case Espressione::Accoda:
        valori.insert("<formato>", dati.formato);
        valori.insert("<carta>", dati.carta);
        Q_FALLTHROUGH();
    case Espressione::Antepost:
        valori.insert("<codice>", dati.codiceCliente);
        valori.insert("<intestatario>", dati.intestatario);
        valori.insert("<username>", dati.username);
        break;
    case Espressione::PercorsoStampa:
        valori.insert("<carta>", dati.carta);
        valori.insert("<formato>", dati.formato);
        break;
    case Espressione::NomeFileStampa: {
        const QString nome = nomeFileSicuro(dati.nomeFileSorgente, dati.idFile);
        valori.insert("<nomefile>", nome.section(QLatin1Char('.'), 0, 0));
        valori.insert("<numerofile>", QString::number(numeroStampa).rightJustified(5, '0'));
        break;
    }
    }

    static const QRegularExpression tag("<[a-zA-Z,0-9]+>");
    static const QRegularExpression qta("(<qta>)|(<qta,[0-9]*>)");
    static const QRegularExpression parentesi("[<>]");

    QString copia = espressione;
    auto it = tag.globalMatch(espressione);
    while (it.hasNext()) {
        const QString trovato = it.next().captured(0);
        if (tipo == Espressione::NomeFileStampa && qta.match(trovato).hasMatch()) {
            const QStringList parti
                = QString(trovato).remove(parentesi).trimmed().split(QLatin1Char(','));
            int larghezza = 0;
            if (parti.size() >= 2) {
                bool ok = false;
                larghezza = qBound(0, parti.at(1).toInt(&ok, 10), LarghezzaMassimaQta);
                if (!ok)
                    larghezza = 0;
            }
            copia.replace(qta, QString::number(dati.quantita).rightJustified(larghezza, '0'));
            continue;
        }
        const auto v = valori.constFind(trovato);
        if (v != valori.constEnd())
            copia.replace(trovato, v.value());
    }
    return copia;
}

QString PercorsiDownload::pulisciCartella(const QString &testo)
{
    static const QRegularExpression vietati("[^0-9a-zA-Z- ]+");
    return QString(testo).remove(vietati);
}

QString PercorsiDownload::nomeFileSicuro(const QString &nomeSorgente, const QString &idFile)
{
    const auto pulisci = [](const QString &s) {
        QString r;
        r.reserve(s.size());
        for (const QChar c : ultimoComponente(s)) {
            if (c.unicode() < 0x20 || c.unicode() == 0x7f || QStringLiteral("<>:\"|?*").contains(c))
                continue;
            r.append(c);
        }
        // Windows silently drops trailing dots and blanks, so the name on
        // disk would differ from the recorded one.
        int n = r.size();
        while (n > 0 && (r.at(n - 1) == QLatin1Char('.') || r.at(n - 1) == QLatin1Char(' ')))
            --n;
        r.truncate(n);
        // Device names would send the image to a port instead of a file.
        if (!r.isEmpty() && nomeRiservatoWindows(r))
            r.prepend(QLatin1Char('_'));
        return r;
    };
    QString nome = pulisci(nomeSorgente);
    if (nome.isEmpty())
        nome = pulisci(idFile);
    if (nome.isEmpty())
        nome = QStringLiteral("file");
    return nome;
}

QString PercorsiDownload::nomeCartellaOrdine(const DatiRigaPercorso &dati) const
{
    QString nome = QString("%1").arg(dati.numeroOrdine, 6, 10, QLatin1Char('0')) + '_'
        + QDateTime::fromSecsSinceEpoch(dati.dataOrdine).toLocalTime().toString("yyyy");
    if (!imp.pathAccoda.isEmpty()) {
        // A leading blank is the separator the lab chose and stays; a
        // trailing one would make an invalid folder name on Windows.
        nome += trimFine(pulisciCartella(espandi(imp.pathAccoda, Espressione::Accoda, dati)));
    }
    return nome;
}

QString PercorsiDownload::cartellaCliente(const DatiRigaPercorso &dati) const
{
    if (imp.pathAntepost.isEmpty())
        return QString();
    return trimFine(pulisciCartella(espandi(imp.pathAntepost, Espressione::Antepost, dati)));
}

QString PercorsiDownload::cartellaRigaFile(const DatiRigaPercorso &dati) const
{
    if (imp.ordineRigaFileDownloadPath.isEmpty())
        return QString();
    QString cartella = conBarra(imp.ordineRigaFileDownloadPath);
    const QString cliente = cartellaCliente(dati);
    if (!cliente.isEmpty())
        cartella += conBarra(cliente);
    cartella += nomeCartellaOrdine(dati) + '/';
    if (!QFileInfo::exists(cartella))
        QDir().mkpath(cartella);
    return cartella;
}

QString PercorsiDownload::nomeFileLocaleRigaFile(
    const QString &cartella, const DatiRigaPercorso &dati)
{
    if (!dati.nomeFileLocale.isEmpty())
        return nomeFileSicuro(dati.nomeFileLocale, dati.idFile);

    const QString nome = nomeFileSicuro(dati.nomeFileSorgente, dati.idFile);
    const int punto = nome.indexOf(QLatin1Char('.'));
    const QString base = punto < 0 ? nome : nome.left(punto);
    const QString suffisso = punto < 0 ? QString() : nome.mid(punto); // with its dot
    QString candidato = nome;
    for (int k = 1; QFileInfo::exists(cartella + candidato); ++k)
        candidato = base + '_' + QString::number(k) + suffisso;
    return candidato;
}

QString PercorsiDownload::cartellaOrdineStampa(const DatiRigaPercorso &dati) const
{
    if (dati.repartoPercorso.isEmpty())
        return QString();
    QString cartella = conBarra(dati.repartoPercorso);
    if (dati.repartoTipo == QLatin1String(TipoDirectory)) {
        const QString cliente = cartellaCliente(dati);
        if (!cliente.isEmpty())
            cartella += conBarra(cliente);
    }
    cartella += nomeCartellaOrdine(dati);
    if (dati.repartoTipo == QLatin1String(TipoNoritsu))
        cartella += '-' + dati.repartoNome;
    return cartella + '/';
}

QString PercorsiDownload::sottoCartellaStampa(const DatiRigaPercorso &dati) const
{
    QString sotto = dati.repartoTipo == QLatin1String(TipoNoritsu)
        ? QStringLiteral("IMAGE")
        : espandi(imp.stampaFotograficaPathExpression, Espressione::PercorsoStampa, dati);
    if (!sotto.isEmpty() && !sotto.endsWith(QLatin1Char('/')))
        sotto += '/';
    return sotto;
}

QString PercorsiDownload::percorsoRigaStampa(const DatiRigaPercorso &dati, int numeroStampa) const
{
    const QString cartellaOrdine = cartellaOrdineStampa(dati);
    if (cartellaOrdine.isEmpty())
        return QString();
    const QString cartella = cartellaOrdine + sottoCartellaStampa(dati);
    const QString estensione = QStringLiteral(".jpg");

    QString percorso;
    const QString registrato = ultimoComponente(dati.nomeFileLocale);
    if (!registrato.isEmpty() && registrato != QLatin1String(".")
        && registrato != QLatin1String("..")) {
        percorso = cartella + registrato;
    } else {
        const QString espressione = imp.stampaFotograficaFileNameExpression.isEmpty()
            ? QString::fromLatin1(NomeFileDefault)
            : imp.stampaFotograficaFileNameExpression;
        QString nome = espandi(espressione, Espressione::NomeFileStampa, dati, numeroStampa);
        if (nome.isEmpty())
            nome = espandi(NomeFileDefault, Espressione::NomeFileStampa, dati, numeroStampa);
        QString candidato = nome;
        for (int k = 1; QFileInfo::exists(cartella + candidato + estensione); ++k)
            candidato = nome + '_' + QString::number(k);
        percorso = cartella + candidato + estensione;
    }
    if (!QFileInfo::exists(cartella))
        QDir().mkpath(cartella);
    // The lab's name expression may hold its own sub-folders.
    const QString genitore = QFileInfo(percorso).path();
    if (!QFileInfo::exists(genitore))
        QDir().mkpath(genitore);
    return percorso;
}
