#pragma once

// The test recordings the speech benches play and decode, with what is said in them.
#include <cctype>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

inline const std::string RECORDINGS_FOLDER = "/usr/share/pocketsphinx/test/data/";

struct Recording {
  std::string file;  // under RECORDINGS_FOLDER
  std::string words;
};

// A short command and the five book-reading recordings: 75 words.
inline const std::vector<Recording>& recordings() {
  static const std::vector<Recording> RECORDINGS = {
      {"goforward.raw", "go forward ten meters"},
      {"librivox/sense_and_sensibility_01_austen_64kb-0870.wav",
       "and mister john dashwood had then leisure to consider how much there might be prudently "
       "in his power to do for them"},
      {"librivox/sense_and_sensibility_01_austen_64kb-0880.wav", "he was not an ill disposed young man"},
      {"librivox/sense_and_sensibility_01_austen_64kb-0890.wav",
       "unless to be rather cold hearted and rather selfish is to be ill disposed"},
      {"librivox/sense_and_sensibility_01_austen_64kb-0920.wav",
       "had he married a more a amiable woman he might have been made still more respectable than "
       "he was"},
      {"librivox/sense_and_sensibility_01_austen_64kb-0930.wav", "he might even have been made amiable himself"},
  };
  return RECORDINGS;
}

// 16 kHz mono 16-bit samples of a raw file, or of a WAV file's data chunk.
inline std::vector<std::int16_t> samplesOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.rfind("RIFF", 0) == 0) {
    auto data = bytes.find("data");
    bytes = data == std::string::npos ? "" : bytes.substr(data + 8);
  }
  std::vector<std::int16_t> samples(bytes.size() / 2);
  std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  return samples;
}

// A written word as the recogniser would have spelt it: in lowercase, without the marks around it.
inline std::string plainWord(std::string word) {
  for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  while (!word.empty() && std::strchr(",.?!:;", word.back())) word.pop_back();
  return word;
}

// How many of the spoken words the recognised (or written) text holds, each counted once.
inline int wordsMatched(const std::string& spoken, const std::string& heard) {
  std::multiset<std::string> got;
  std::istringstream h(heard);
  for (std::string w; h >> w;) got.insert(plainWord(w));
  int count = 0;
  std::istringstream s(spoken);
  for (std::string w; s >> w;) {
    auto at = got.find(plainWord(w));
    if (at != got.end()) {
      ++count;
      got.erase(at);
    }
  }
  return count;
}

inline int wordCount(const std::string& text) {
  std::istringstream in(text);
  return static_cast<int>(std::distance(std::istream_iterator<std::string>(in), {}));
}
