#pragma once

namespace zyn::tools {

// zyn-render png FILE OUT.png [--size WxH] [--title TEXT] [--no-projection] [--drag ...] [--wheel X:NOTCHES]
int RunPng(int argc, char** argv);
// zyn-render pdf FILE OUT.pdf ... and svg FILE OUT.svg ...: the same frame as vectors, a page or
// a picture of the chart's size
int RunPdf(int argc, char** argv);
int RunSvg(int argc, char** argv);
// zyn-render layout FILE [--size WxH] [--title TEXT] [--no-projection] [--drag ...] [--wheel X:NOTCHES]
int RunLayout(int argc, char** argv);

}  // namespace zyn::tools
