// image/jpeg/huffman.cpp: lookup tables from the code counts and symbols of a DHT segment (ITU-T
// T.81 Annex C: canonical codes). Counts that over-fill the code space would make codes overlap
// or outgrow their length; such a table is refused before any entry is written. An 8-bit prefix
// that starts no code decodes as symbol 0 and consumes its 8 bits, so that data of undefined
// codes is used up like any other.
#include "image/jpeg/internal/jpeg_decoder_core.h"

#include <cstring>

namespace jpgd {

void jpeg_decoder_core::BuildLookup(int32_t slot) {
  const uint8_t* counts = m_huff_counts[slot];
  const uint8_t* symbols = m_huff_symbols[slot];
  if (!m_lookup[slot])
    m_lookup[slot] = static_cast<huffman_lookup*>(pool_alloc(sizeof(huffman_lookup), false));
  huffman_lookup* h = m_lookup[slot];
  std::memset(h->m_first, 0, sizeof(h->m_first));
  std::memset(h->m_combined, 0, sizeof(h->m_combined));
  std::memset(h->m_code_size, 0, sizeof(h->m_code_size));

  int32_t nodes = 0;
  bool defined[256] = {};            // whether each 8-bit prefix starts a code
  int32_t node_of_prefix[256] = {};  // tree reference under each 8-bit prefix, 0 while none
  uint32_t code = 0;
  int32_t p = 0;
  for (int32_t len = 1; len <= 16; ++len, code <<= 1) {
    for (int32_t i = 0; i < counts[len]; ++i, ++code) {
      if (code >= (1u << len)) fail(kStatusBadHuffmanCodes);
      const int32_t sym = symbols[p++];
      h->m_code_size[sym] = static_cast<uint8_t>(len);
      if (len <= 8) {
        const int32_t spare = 8 - len;
        const int32_t size = sym & 15;
        const uint32_t base = code << spare;
        for (uint32_t j = 0; j < (1u << spare); ++j) {
          defined[base | j] = true;
          h->m_first[base | j] = sym;
          if (size != 0 && len + size <= 8) {
            int32_t extra = static_cast<int32_t>(j >> (spare - size)) & ((1 << size) - 1);
            h->m_combined[base | j] = extra * 65536 + 32768 + (len + size) * 256 + sym;
          } else {
            h->m_combined[base | j] = len * 256 + sym;
          }
        }
        continue;
      }
      // Longer codes: a node under their 8-bit prefix, one step per further bit.
      const uint32_t prefix = code >> (len - 8);
      int32_t ref = node_of_prefix[prefix];
      if (ref == 0) {
        defined[prefix] = true;
        ref = -(2 * nodes + 1);
        h->m_tree[2 * nodes] = h->m_tree[2 * nodes + 1] = 0;
        ++nodes;
        node_of_prefix[prefix] = ref;
        h->m_first[prefix] = h->m_combined[prefix] = ref;
      }
      for (int32_t bit = len - 9; bit > 0; --bit) {
        int32_t* child = &h->m_tree[~ref + static_cast<int32_t>((code >> bit) & 1)];
        if (*child >= 0) {  // empty: canonical codes that fit never pass through a leaf
          *child = -(2 * nodes + 1);
          h->m_tree[2 * nodes] = h->m_tree[2 * nodes + 1] = 0;
          ++nodes;
        }
        ref = *child;
      }
      h->m_tree[~ref + static_cast<int32_t>(code & 1)] = sym;
    }
  }
  // A first-level hit consumes the code length recorded for its symbol.
  for (int32_t i = 0; i < 256; ++i) {
    if (!defined[i]) {
      h->m_first[i] = h->m_combined[i] = 8 * 256;
      continue;
    }
    int32_t e = h->m_first[i];
    if (e >= 0) h->m_first[i] = h->m_code_size[e] * 256 + e;
  }
}

}  // namespace jpgd
