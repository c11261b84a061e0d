#include "TinyVitsModel.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace tiny_vits {
namespace {

// Protocol buffer encoding, as much of it as an ONNX model needs.
std::string varint(uint64_t v) {
    std::string out;
    do {
        char b = static_cast<char>(v & 0x7f);
        v >>= 7;
        if (v) b = static_cast<char>(b | 0x80);
        out.push_back(b);
    } while (v);
    return out;
}
std::string num(int field, uint64_t v) {
    return varint(static_cast<uint64_t>(field) << 3) + varint(v);
}
std::string bytes(int field, const std::string& v) {
    return varint(static_cast<uint64_t>(field) << 3 | 2) + varint(v.size()) + v;
}
enum : int { kFloat = 1, kInt64 = 7 };

// TensorProto: dims (1), data_type (2), name (8), raw_data (9).
std::string tensor(const std::string& name, int type, const std::vector<int64_t>& dims,
                   const std::string& raw) {
    std::string t;
    for (int64_t d : dims) t += num(1, static_cast<uint64_t>(d));
    t += num(2, static_cast<uint64_t>(type));
    if (!name.empty()) t += bytes(8, name);
    return t + bytes(9, raw);
}
template <typename T>
std::string raw(const std::vector<T>& values) {
    return std::string(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(T));
}

// ValueInfoProto: name (1), type (2: TypeProto, tensor_type (1): elem_type (1), shape (2)).
std::string valueInfo(const std::string& name, int type, const std::vector<std::string>& dims) {
    std::string shape;
    for (const std::string& d : dims) {
        const bool symbolic = d.empty() || !(d[0] >= '0' && d[0] <= '9');
        shape += bytes(1, symbolic ? bytes(2, d) : num(1, std::stoull(d)));
    }
    const std::string tensorType = num(1, static_cast<uint64_t>(type)) + bytes(2, shape);
    return bytes(1, name) + bytes(2, bytes(1, tensorType));
}

// NodeProto: input (1), output (2), op_type (4), attribute (5).
std::string node(const std::string& op, const std::vector<std::string>& in, const std::string& out,
                 const std::string& attributes = {}) {
    std::string n;
    for (const std::string& i : in) n += bytes(1, i);
    return n + bytes(2, out) + bytes(4, op) + attributes;
}
// AttributeProto: name (1), i (3), t (5), type (20: INT 2, TENSOR 4).
std::string intAttribute(const std::string& name, int64_t v) {
    return bytes(5, bytes(1, name) + num(3, static_cast<uint64_t>(v)) + num(20, 2));
}
std::string tensorAttribute(const std::string& name, const std::string& t) {
    return bytes(5, bytes(1, name) + bytes(5, t) + num(20, 4));
}

void save(const std::string& path, const std::string& content) {
    std::ofstream f(path, std::ios::binary);
    f << content;
    if (!f.flush()) throw std::runtime_error("cannot write " + path);
}

}  // namespace

std::map<std::string, std::string> defaultMetadata() {
    return {{"sample_rate", "16000"},
            {"n_speakers", "1"},
            {"language", "English"},
            {"comment", "selvarine test voice"}};
}

std::string model(const std::map<std::string, std::string>& meta, float level) {
    // samples = kHop * x_length * length_scale; y = ConstantOfShape([1, 1, samples], level)
    std::string graph;
    graph += bytes(1, node("Cast", {"x_length"}, "length_f", intAttribute("to", kFloat)));
    graph += bytes(1, node("Mul", {"length_f", "length_scale"}, "scaled"));
    graph += bytes(1, node("Mul", {"scaled", "hop"}, "samples_f"));
    graph += bytes(1, node("Cast", {"samples_f"}, "samples", intAttribute("to", kInt64)));
    graph += bytes(1, node("Concat", {"lead", "samples"}, "shape", intAttribute("axis", 0)));
    graph += bytes(1, node("ConstantOfShape", {"shape"}, "y",
                           tensorAttribute("value", tensor("", kFloat, {1}, raw<float>({level})))));
    graph += bytes(2, "tiny_vits");
    graph += bytes(5, tensor("hop", kFloat, {1}, raw<float>({static_cast<float>(kHop)})));
    graph += bytes(5, tensor("lead", kInt64, {2}, raw<int64_t>({1, 1})));
    graph += bytes(11, valueInfo("x", kInt64, {"1", "tokens"}));
    graph += bytes(11, valueInfo("x_length", kInt64, {"1"}));
    graph += bytes(11, valueInfo("noise_scale", kFloat, {"1"}));
    graph += bytes(11, valueInfo("length_scale", kFloat, {"1"}));
    graph += bytes(11, valueInfo("noise_scale_w", kFloat, {"1"}));
    graph += bytes(12, valueInfo("y", kFloat, {"1", "1", "samples"}));

    std::string m = num(1, 7);                 // ir_version
    m += bytes(8, bytes(1, "") + num(2, 13));  // opset_import: the default domain, 13
    m += bytes(2, "selvarine-tests");          // producer_name
    m += bytes(7, graph);
    for (const auto& [key, value] : meta) m += bytes(14, bytes(1, key) + bytes(2, value));
    return m;
}

void write(const std::string& folder, const std::map<std::string, std::string>& meta, float level) {
    save(folder + "/model.onnx", model(meta, level));
    // A line holding only an id is the blank (space) token.
    save(folder + "/tokens.txt", " 0\nh 1\ne 2\nl 3\no 4\nw 5\nr 6\nd 7\n. 8\n");
    save(folder + "/lexicon.txt", "hello h e l o\nworld w o r l d\n");
}

}  // namespace tiny_vits
