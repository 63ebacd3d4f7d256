#include "u3/U3Directory.h"

#include "domain/Format.h"

namespace orvalt {

namespace {

// Reads the serial number of a claimed U3 over `link`.
std::optional<std::uint32_t> ReadSerialNumber(U3Link& link, LJ_ERROR& error) {
    u3::U3Config config;
    error = link.ReadConfig(config);
    return error == LJE_NOERROR ? std::optional(config.serialNumber) : std::nullopt;
}

U3Presence Inspect(UsbClaim& claim, unsigned timeoutMs) {
    if (!claim) {
        return U3Presence{claim.Error(), LJE_NOERROR, std::nullopt};
    }
    U3Presence presence{UsbStatus::ok, LJE_NOERROR, std::nullopt};
    U3Link link(std::move(claim).Value(), timeoutMs);
    presence.serialNumber = ReadSerialNumber(link, presence.readError);
    return presence;
}

std::string ClaimFailureText(UsbStatus status) {
    switch (status) {
        case UsbStatus::busy:
            return "held by another program";
        case UsbStatus::access:
            return "no permission to open it (is the udev rule installed?)";
        default:
            return "could not be opened";
    }
}

std::string DescribeU3(const U3Presence& u3) {
    if (u3.serialNumber) {
        return Format("U3 serial number %u: free", static_cast<unsigned>(*u3.serialNumber));
    }
    if (u3.claim != UsbStatus::ok) {
        return "U3 serial number unknown: " + ClaimFailureText(u3.claim);
    }
    return Format("U3 serial number unknown: it did not answer (code %d)", u3.readError);
}

}  // namespace

LJ_ERROR OpenFailureCode(UsbStatus status) {
    switch (status) {
        case UsbStatus::notFound:
            return LJE_LABJACK_NOT_FOUND;
        case UsbStatus::busy:
            return LJE_DEVICE_ALREADY_OPEN;
        case UsbStatus::access:
        case UsbStatus::unavailable:
            return LJE_USB_DRIVER_NOT_FOUND;
        default:
            return LJE_COMM_FAILURE;
    }
}

U3Listing ListU3s(UsbConnector& connector, unsigned timeoutMs) {
    U3Listing listing;
    listing.bus = connector.VisitEachU3([&](UsbClaim& claim) {
        listing.devices.push_back(Inspect(claim, timeoutMs));
        return false;
    });
    return listing;
}

std::vector<std::string> DescribeU3Listing(const U3Listing& listing) {
    std::vector<std::string> lines;
    for (const U3Presence& u3 : listing.devices) {
        lines.push_back(DescribeU3(u3));
    }
    if (lines.empty()) {
        lines.push_back(listing.bus == UsbStatus::ok ? "No U3 found."
                                                     : "No U3 found: USB could not be searched.");
    }
    return lines;
}

U3BySerial OpenU3BySerial(UsbConnector& connector, std::string_view wanted, unsigned timeoutMs) {
    std::unique_ptr<U3Link> found;
    UsbStatus unclaimed = UsbStatus::notFound;
    const UsbStatus bus = connector.VisitEachU3([&](UsbClaim& claim) {
        if (!claim) {
            unclaimed = MoreTellingOpenFailure(unclaimed, claim.Error());
            return false;
        }
        auto link = std::make_unique<U3Link>(std::move(claim).Value(), timeoutMs);
        LJ_ERROR error = LJE_NOERROR;
        const std::optional<std::uint32_t> serial = ReadSerialNumber(*link, error);
        if (serial && SerialNumberMatches(wanted, *serial)) {
            found = std::move(link);
            return true;
        }
        if (!serial) {
            unclaimed = MoreTellingOpenFailure(unclaimed, UsbStatus::failed);
        }
        return false;  // the link goes here, and with it the claim
    });
    if (!found) {
        return Fail(OpenFailureCode(bus != UsbStatus::ok ? bus : unclaimed));
    }
    return U3BySerial(std::move(found));
}

}  // namespace orvalt
