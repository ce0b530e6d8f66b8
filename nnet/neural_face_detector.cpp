// nnet/neural_face_detector.cpp: the detector's life (construction, the one-time build, freeing)
// and the selection of a network's description and weight table by name. A build that throws
// part way frees exactly what it made: the network table starts zeroed and each network is
// owned by its slot as soon as it exists.
#include "nnet/neural_face_detector.h"

#include "nnet/data/net_data.h"
#include "nnet/neural_network.h"
#include "nnet/ximage.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>

namespace {

struct NetSource {
  const char* key;
  const char** (*text)(int32_t*);
  float* (*weights)(int32_t*);
};

// Tried in this order: the first key found in the name wins.
const NetSource kSources[] = {{"umec", UmecNetText, UmecNetWeights},
                              {"face17c", Face17cNetText, Face17cNetWeights},
                              {"face18c", Face18cNetText, Face18cNetWeights},
                              {"eye", EyeNetText, EyeNetWeights}};

const char* const kNetworkNames[] = {"umec", "face17c", "face18c", "eye"};

const NetSource& SelectSource(const char* caller, int32_t count, const char* const* names) {
  if (count < 0) throw std::bad_array_new_length();
  if (count != 1) {
    throw std::invalid_argument(std::string(caller) + "() Error! " + std::to_string(count) +
                                " descriptions in one network are not supported");
  }
  const char* name = names ? names[0] : nullptr;
  if (name) {
    for (const NetSource& s : kSources) {
      if (strstr(name, s.key)) return s;
    }
  }
  throw std::invalid_argument(std::string(caller) + "() Error! no network named " +
                              (name ? name : "(null)"));
}

struct FreeDeleter {
  void operator()(void* p) const { free(p); }
};

}  // namespace

NeuralFaceDetector::NeuralFaceDetector()
    : initialised(false), networkCount(0), networks(nullptr), faceMask(nullptr), eyeMask(nullptr) {}

NeuralFaceDetector::~NeuralFaceDetector() {
  Clear();
}

void NeuralFaceDetector::Clear() {
  if (networks) {
    for (uint32_t i = 0; i < networkCount; ++i) {
      if (!networks[i]) continue;
      FreeNetwork(networks[i]);
      delete networks[i];
    }
    delete[] networks;
  }
  networks = nullptr;
  networkCount = 0;
  delete faceMask;
  faceMask = nullptr;
  delete eyeMask;
  eyeMask = nullptr;
}

void NeuralFaceDetector::Init() {
  if (initialised) return;
  Clear();
  networks = new NeuralNetwork*[4]();  // zeroed, so Clear after a failed step frees only networks
  networkCount = 4;
  for (uint32_t i = 0; i < networkCount; ++i) {
    const char* const names[] = {kNetworkNames[i]};
    networks[i] = LoadNetwork(1, names);
    LoadWeights(networks[i], 1, names);
  }
  faceMask = new XByteImage("facemask");
  MakeFaceMask(faceMask);
  eyeMask = new XByteImage("eyemask");
  eyeMask->Allocate(25, 15);
  ComputeLightingMatrix();
  initialised = true;
}

NeuralNetwork* NeuralFaceDetector::LoadNetwork(int32_t count, const char* const* names) {
  const NetSource& source = SelectSource("LoadNetwork", count, names);
  int32_t line_count = 0;
  std::unique_ptr<const char*, FreeDeleter> lines(source.text(&line_count));
  return BuildNetworkFromLines(lines.get(), line_count);
}

void NeuralFaceDetector::LoadWeights(NeuralNetwork* network, int32_t count,
                                     const char* const* names) {
  const NetSource& source = SelectSource("LoadWeights", count, names);
  int32_t weight_count = 0;
  std::unique_ptr<float, FreeDeleter> weights(source.weights(&weight_count));
  AttachWeights(network, weights.get(), weight_count);
}

void NeuralFaceDetector::FreeNetwork(NeuralNetwork* network) {
  FreeNetworkArrays(network);
}

NeuralFaceDetector** CreateNNFaceDetector(NeuralFaceDetector** out) {
  *out = new NeuralFaceDetector();
  try {
    (*out)->Init();
  } catch (...) {
    // The caller frees a detector only after this call has returned; a failed build is freed
    // here so that nothing leaks and no dangling pointer is left behind.
    DestroyNNFaceDetector(out);
    throw;
  }
  return out;
}

void DestroyNNFaceDetector(NeuralFaceDetector** p) {
  delete *p;
  *p = nullptr;
}
