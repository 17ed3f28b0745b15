#pragma once

// The service endpoint and the operator's credentials that every call of the
// service libraries (accounts, products, orders, server settings) uses.

#include <memory>
#include <string>

struct ServiceAccess {
    std::string WsEndpoint;
    std::string WsUsername;
    std::string WsPassword;
    // Calls check the operator's credentials; without it only the calls open
    // to anyone are allowed.
    bool WsOperatorAuth = false;
};

// Replaces the access of the calls that start from now on. A call reads the
// access once when it starts, so a change made on another thread never
// reaches a call halfway; any thread may call both functions.
void setServiceAccess(ServiceAccess access);
std::shared_ptr<const ServiceAccess> serviceAccess();

// Why an endpoint cannot be used (not one the service libraries know, or
// lacking its file, host or database); empty when it can.
std::string endpointProblem(const std::string &endpoint);
