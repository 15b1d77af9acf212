// A filter graph with its interfaces, for the tests.
#pragma once
#include <windows.h>
#include <dshow.h>

#include <string>
#include <vector>

namespace soundtest {

struct Graph {
  IGraphBuilder* graph = nullptr;
  IMediaControl* control = nullptr;
  IMediaSeeking* seeking = nullptr;
  IMediaEventEx* events = nullptr;
  HRESULT rendered = E_FAIL;

  explicit Graph(const std::wstring& file) {
    CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                     reinterpret_cast<void**>(&graph));
    if (!graph) return;
    rendered = graph->RenderFile(file.c_str(), nullptr);
    graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control));
    graph->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&seeking));
    graph->QueryInterface(IID_IMediaEventEx, reinterpret_cast<void**>(&events));
  }
  ~Graph() {
    for (IUnknown* p : {static_cast<IUnknown*>(events), static_cast<IUnknown*>(seeking),
                        static_cast<IUnknown*>(control), static_cast<IUnknown*>(graph)}) {
      if (p) p->Release();
    }
  }
  Graph(const Graph&) = delete;
  Graph& operator=(const Graph&) = delete;

  void Rewind(double seconds = 0) {
    LONGLONG pos = LONGLONG(seconds * 1e7);
    seeking->SetPositions(&pos, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
  }
  // Events waiting now, in order.
  std::vector<long> DrainEvents() {
    std::vector<long> codes;
    long code;
    LONG_PTR p1, p2;
    while (SUCCEEDED(events->GetEvent(&code, &p1, &p2, 0))) codes.push_back(code);
    return codes;
  }
};

// The next `frames` frames of the mix (manual mixer).
std::vector<float> Pull(int frames);
double Seconds(LONGLONG units);

}  // namespace soundtest
