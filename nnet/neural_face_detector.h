// nnet/neural_face_detector.h: the neural-network face detector that the IsFace model owns: four
// networks built from the embedded descriptions and weights, a face mask, an eye mask and a
// lighting-correction matrix. Nothing evaluates it; it is built once and freed.
#ifndef NNET_NEURAL_FACE_DETECTOR_H
#define NNET_NEURAL_FACE_DETECTOR_H

#include <cstdint>

#include "nnet/matrix.h"

struct NeuralNetwork;
class XByteImage;

// NeuralFaceDetector: empty (fresh) state: nothing owned, networkCount 0, empty matrix.
//   After Init: networks[0..3] hold "umec", "face17c", "face18c", "eye"; faceMask is "facemask"
//     (20 x 20), eyeMask "eyemask" (25 x 15, all 255); lightingMatrix is 3 x 3, sole holder.
//   Owns: the network table and its networks, both masks, its matrix share.
//   Threads: one detector belongs to one thread; detectors share only constant data, so several
//     can be built at once on different threads.
//   Failure: std::bad_alloc (or std::runtime_error for a broken description) leaves Init; the
//     matrix code ends the process on its own fatal errors.
class NeuralFaceDetector {
 public:
  NeuralFaceDetector();
  ~NeuralFaceDetector();
  NeuralFaceDetector(const NeuralFaceDetector&) = delete;
  NeuralFaceDetector& operator=(const NeuralFaceDetector&) = delete;

  // Frees the networks, the table and the masks and resets them to the fresh state; leaves
  // initialised and lightingMatrix alone.
  void Clear();
  // The one-time build; does nothing when initialised. On an exception the members built so far
  // stay owned by the detector (its destructor frees them) and initialised stays false.
  void Init();

  // A new network built from the description that names[0] selects ("umec", "face17c",
  // "face18c", "eye", tried in this order as substrings of names[0]). Only count 1 is
  // supported: std::invalid_argument for any other count or a name that selects nothing
  // (std::bad_array_new_length for a negative count). Never returns null.
  static NeuralNetwork* LoadNetwork(int32_t count, const char* const* names);
  // Copies the weight table that names[0] selects onto the network's links, weight i onto
  // connection i. Throws like LoadNetwork, and std::runtime_error when the table is longer than
  // the network's connection list.
  static void LoadWeights(NeuralNetwork* network, int32_t count, const char* const* names);
  // Frees the network's arrays; the caller deletes the record.
  static void FreeNetwork(NeuralNetwork* network);
  // Makes mask a 20 x 20 face mask: 255 inside, 0 on the cut corners and the outer columns.
  static void MakeFaceMask(XByteImage* mask);
  // lightingMatrix = inverse of the normal matrix of a least-squares plane fit over the non-zero
  // pixels of faceMask, in coordinates centred on (width / 2, height / 2).
  void ComputeLightingMatrix();

  bool initialised;
  uint32_t networkCount;
  NeuralNetwork** networks;
  XByteImage* faceMask;
  XByteImage* eyeMask;
  Matrix lightingMatrix;
};

// Allocates a detector, stores it through out and builds it; returns out. If the build throws,
// the detector is freed, *out is set to null and the exception propagates.
NeuralFaceDetector** CreateNNFaceDetector(NeuralFaceDetector** out);
// Destroys and frees *p when it is not null, then sets *p to null.
void DestroyNNFaceDetector(NeuralFaceDetector** p);

#endif  // NNET_NEURAL_FACE_DETECTOR_H
