#include "SofaWriter.h"

#include "SphericalHead.h"

#include <netcdf.h>

#include <cstring>
#include <stdexcept>

namespace vendrasolith::fixtures
{
namespace
{
void check (int status, const char* what)
{
    if (status != NC_NOERR)
        throw std::runtime_error (std::string ("netCDF: ") + what + ": " + nc_strerror (status));
}

void text (int file, int variable, const char* name, const std::string& value)
{
    check (nc_put_att_text (file, variable, name, value.size(), value.c_str()), name);
}

int define (int file, const char* name, std::vector<int> dimensions)
{
    int id = 0;
    check (nc_def_var (file, name, NC_DOUBLE, (int) dimensions.size(), dimensions.data(), &id), name);
    return id;
}
} // namespace

SofaContents sphericalHeadContents (double sampleRate, int taps, double step, const std::vector<double>& elevations)
{
    SofaContents contents;
    contents.sampleRate = sampleRate;
    contents.taps = taps;
    for (const auto& d : grid (step, elevations))
    {
        contents.positions.push_back ({ d.sofaAzimuth, d.elevation, 1.5 });
        const auto ears = sphericalHeadResponses (d.sofaAzimuth, d.elevation, sampleRate, taps);
        contents.responses.push_back ({ ears[0], ears[1] });
    }
    return contents;
}

void writeSofa (const std::string& path, const SofaContents& c)
{
    int file = 0;
    check (nc_create (path.c_str(), NC_NETCDF4 | NC_CLOBBER, &file), "create");

    const std::pair<const char*, const char*> globals[] = {
        { "Conventions", "SOFA" }, { "Version", "1.0" }, { "APIName", "vendrasolith tests" }, { "APIVersion", "1.0" },
        { "SOFAConventionsVersion", "1.0" }, { "RoomType", "free field" }, { "Title", "spherical head" },
        { "AuthorContact", "-" }, { "Organization", "-" }, { "License", "-" }, { "DateCreated", "2024-01-01 00:00:00" },
        { "DateModified", "2024-01-01 00:00:00" }, { "ListenerShortName", "sphere" },
    };
    for (const auto& [name, value] : globals)
        text (file, NC_GLOBAL, name, value);
    text (file, NC_GLOBAL, "SOFAConventions", c.convention);
    text (file, NC_GLOBAL, "DataType", c.dataType);

    const size_t m = c.positions.size();
    int I, C, R, E, N, M;
    check (nc_def_dim (file, "I", 1, &I), "I");
    check (nc_def_dim (file, "C", 3, &C), "C");
    check (nc_def_dim (file, "R", (size_t) c.receivers, &R), "R");
    check (nc_def_dim (file, "E", 1, &E), "E");
    check (nc_def_dim (file, "N", (size_t) c.taps, &N), "N");
    check (nc_def_dim (file, "M", m, &M), "M");

    const int listener = define (file, "ListenerPosition", { I, C });
    const int receiver = define (file, "ReceiverPosition", { R, C, I });
    const int source = define (file, "SourcePosition", { M, C });
    const int emitter = define (file, "EmitterPosition", { E, C, I });
    const int up = define (file, "ListenerUp", { I, C });
    const int view = define (file, "ListenerView", { I, C });
    const int ir = define (file, "Data.IR", { M, R, N });
    const int rate = define (file, "Data.SamplingRate", { I });
    const int delay = define (file, "Data.Delay", { I, R });
    for (const int cartesian : { listener, receiver, emitter })
    {
        text (file, cartesian, "Type", "cartesian");
        text (file, cartesian, "Units", "metre");
    }
    text (file, view, "Type", c.listenerViewType);
    text (file, view, "Units", c.listenerViewType == "spherical" ? "degree, degree, metre" : "metre");
    text (file, source, "Type", "spherical");
    text (file, source, "Units", "degree, degree, metre");
    text (file, rate, "Units", "hertz");
    check (nc_enddef (file), "enddef");

    const double origin[3] = { 0.0, 0.0, 0.0 }, upwards[3] = { 0.0, 0.0, 1.0 };
    check (nc_put_var_double (file, listener, origin), "ListenerPosition");
    check (nc_put_var_double (file, emitter, origin), "EmitterPosition");
    check (nc_put_var_double (file, up, upwards), "ListenerUp");
    check (nc_put_var_double (file, view, c.listenerView.data()), "ListenerView");
    std::vector<double> receivers = c.receiverPositions;
    receivers.resize ((size_t) c.receivers * 3, 0.0);
    check (nc_put_var_double (file, receiver, receivers.data()), "ReceiverPosition");

    std::vector<double> positions, data;
    for (size_t i = 0; i < m; ++i)
    {
        positions.insert (positions.end(), { c.positions[i].azimuth, c.positions[i].elevation, c.positions[i].distance });
        for (int r = 0; r < c.receivers; ++r)
        {
            std::vector<double> response = r < (int) c.responses[i].size() ? c.responses[i][(size_t) r] : std::vector<double>();
            response.resize ((size_t) c.taps, 0.0);
            data.insert (data.end(), response.begin(), response.end());
        }
    }
    check (nc_put_var_double (file, source, positions.data()), "SourcePosition");
    check (nc_put_var_double (file, ir, data.data()), "Data.IR");
    check (nc_put_var_double (file, rate, &c.sampleRate), "Data.SamplingRate");
    std::vector<double> delays = c.delays;
    delays.resize ((size_t) c.receivers, 0.0);
    check (nc_put_var_double (file, delay, delays.data()), "Data.Delay");
    check (nc_close (file), "close");
}
} // namespace vendrasolith::fixtures
