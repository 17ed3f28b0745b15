#pragma once

// Server settings library: the service's settings map, the client banner and
// the program update records.

#include "serviceaccess.h"
#include "vendra2exception.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>

enum vendra2__IdComponenteType {
    vendra2__IdComponenteType__ADMIN = 1,
    vendra2__IdComponenteType__CLIENT = 2
};

namespace vendra2
{

class Impostazione
{
public:
    VENDRA2_NESTED_EXCEPTION(ImpostazioneException);

    // Calls with the service access of the moment, or with an access of
    // their own: for a call that must not use (nor change) the program's,
    // such as a test of other credentials.
    Impostazione() = default;
    explicit Impostazione(ServiceAccess accesso);

    struct clientBanner {
        std::string nome; // the name the banner was set with
        std::string immagine; // JPEG, Base64, 640 x 79
        std::string url; // link opened by the client
        int64_t data = 0; // when it was set, seconds since 1970
        bool presente = false; // false when no banner is set
    };

    std::map<std::string, std::string> listaImpostazioni();
    bool settaImpostazioni(const std::map<std::string, std::string> &impostazioni);

    // `percorsoImmagine` is the local path of a JPEG file; the picture is
    // fitted to 640 x 79 pixels and stored as Base64 JPEG data.
    bool impostaBanner(const std::string &percorsoImmagine, const std::string &url);
    bool rimuoviBanner();
    clientBanner ottieniBannerCorrente();

private:
    std::shared_ptr<const ServiceAccess> m_accesso;
};

class Aggiornamento
{
public:
    VENDRA2_NESTED_EXCEPTION(AggiornamentoException);

    Aggiornamento() = default;
    // An access of its own, e.g. the update check's, which needs no operator.
    explicit Aggiornamento(ServiceAccess accesso);

    struct AggiornamentoItem {
        vendra2__IdComponenteType tipoComponente = vendra2__IdComponenteType__ADMIN;
        int major = 0;
        int minor = 0;
        int build = 0;
        std::string url;
    };

    AggiornamentoItem ottieniAggiornamento(vendra2__IdComponenteType componente) const;
    bool pubblicaAggiornamento();

private:
    std::shared_ptr<const ServiceAccess> m_accesso;
};

} // namespace vendra2

using vendra2::Aggiornamento;
using vendra2::Impostazione;
