#include "line_endpoint.h"

#include "pseudo_terminal.h"
#include "pty_line.h"
#include "stop_signal.h"

#include <optional>
#include <stdexcept>

namespace lcdm {

struct LineEndpoint::Impl {
    explicit Impl(const EndpointOptions& options) : paceBaud(options.paceBaud)
    {
        if (!options.port.empty()) {
            if (!options.links.empty())
                throw std::invalid_argument("--link names a new pseudo-terminal; with --port the host opens the "
                                            "other end of the pair");
            terminal = OpenTerminal(options.port);
            path = options.port;
            return;
        }
        pty.emplace();
        path = pty->SlavePath();
        for (const std::string& link : options.links)
            links.emplace_back(link, path);
    }

    int Fd() const { return pty ? pty->Master() : terminal.Get(); }

    const int paceBaud;
    std::optional<PseudoTerminal> pty;
    UniqueFd terminal; // with --port
    std::string path;
    std::vector<SymbolicLink> links;
    StopSignal stop;
};

LineEndpoint::LineEndpoint(const EndpointOptions& options) : impl_(std::make_unique<Impl>(options)) {}

LineEndpoint::~LineEndpoint() = default;

const std::string& LineEndpoint::Path() const
{
    return impl_->path;
}

void LineEndpoint::Serve(const std::function<void(LinkIo&)>& serve)
{
    PtyLine line(impl_->Fd(), impl_->stop, impl_->paceBaud);
    serve(line);
}

void LineEndpoint::RequestStop() noexcept
{
    impl_->stop.Raise();
}

} // namespace lcdm
