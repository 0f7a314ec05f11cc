#pragma once
// The companion programs' bodies, callable in-process (the fuzz targets run
// them so): each takes the command line and returns the exit status, as
// main would.

namespace tarvek::apps {

int import_main(int argc, char** argv);
int export_main(int argc, char** argv);

}  // namespace tarvek::apps
