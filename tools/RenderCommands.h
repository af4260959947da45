#pragma once

namespace zyn::tools {

// zyn-render png FILE OUT.png [--size WxH] [--title TEXT] [--no-projection] [--drag ...] [--wheel X:NOTCHES]
int RunPng(int argc, char** argv);
// zyn-render layout FILE [--size WxH] [--title TEXT] [--no-projection] [--drag ...] [--wheel X:NOTCHES]
int RunLayout(int argc, char** argv);

}  // namespace zyn::tools
