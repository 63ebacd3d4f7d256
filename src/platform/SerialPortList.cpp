#include "platform/SerialPortList.h"

#include <libserialport.h>

#include <memory>

namespace orvalt {

namespace {

struct PortListDeleter {
    void operator()(sp_port** list) const { sp_free_port_list(list); }
};

}  // namespace

std::vector<SystemSerialPort> ListSystemSerialPorts() {
    sp_port** raw = nullptr;
    if (sp_list_ports(&raw) != SP_OK || raw == nullptr) {
        return {};
    }
    std::unique_ptr<sp_port*, PortListDeleter> list(raw);
    std::vector<SystemSerialPort> ports;
    for (sp_port** port = raw; *port != nullptr; ++port) {
        const char* name = sp_get_port_name(*port);
        const char* description = sp_get_port_description(*port);
        ports.push_back(SystemSerialPort{name ? name : "", description ? description : ""});
    }
    return ports;
}

}  // namespace orvalt
