#include "platform/StreamDecoders.h"

#include "platform/QpdfBudget.h"

#include <qpdf/Pipeline.hh>
#include <qpdf/Pl_Flate.hh>
#include <qpdf/Pl_RunLength.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFStreamFilter.hh>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

namespace folvane::streamdecoders {

namespace {

/// The last stage of every decoder: counts what the decoder produces, then passes it on.
class Charged final : public Pipeline {
public:
    explicit Charged(Pipeline *next) : Pipeline("decoded", next) {}
    void write(unsigned char const *data, size_t len) override
    {
        qpdfbudget::ChargeDecoded(static_cast<std::int64_t>(len), produced_);
        getNext()->write(data, len);
    }
    void finish() override { getNext()->finish(); }

private:
    std::int64_t produced_ = 0;
};

/// Bytes in a row of columns pixels of colors samples of bits each; qpdf rejects the same rows.
unsigned RowBytes(unsigned columns, unsigned colors, unsigned bits, const std::string &what)
{
    if (colors < 1)
        throw std::runtime_error(what + " created with invalid samples_per_pixel");
    const unsigned long long bytes = (static_cast<unsigned long long>(columns) * bits * colors + 7) / 8;
    if (bytes == 0 || bytes > UINT_MAX - 1)
        throw std::runtime_error(what + " created with invalid columns value");
    return static_cast<unsigned>(bytes);
}

/// Collects rows of a fixed size and hands each, whole, to the predictor. A short last row is
/// completed with zeros and handed on too, as qpdf does.
class Rows : public Pipeline {
public:
    Rows(const char *identifier, Pipeline *next, unsigned rowBytes) : Pipeline(identifier, next), rowBytes_(rowBytes) {}
    void write(unsigned char const *data, size_t len) override
    {
        if (row_.empty()) {
            // Taken at the first byte, so a row too large for any stream fails in the data's flow.
            qpdfbudget::CheckStageHolds(rowBytes_);
            row_.assign(rowBytes_, 0);
        }
        while (len > 0) {
            const size_t take = std::min<size_t>(len, rowBytes_ - filled_);
            std::memcpy(row_.data() + filled_, data, take);
            filled_ += take;
            data += take;
            len -= take;
            if (filled_ == rowBytes_)
                EmitRow();
        }
    }
    void finish() override
    {
        if (filled_ > 0)
            EmitRow();
        getNext()->finish();
    }

protected:
    /// Undoes the prediction of row_ and writes the row on.
    virtual void Decode() = 0;
    const unsigned rowBytes_;
    std::vector<unsigned char> row_;

private:
    void EmitRow()
    {
        Decode();
        std::fill(row_.begin(), row_.end(), 0);
        filled_ = 0;
    }
    size_t filled_ = 0;
};

/// PNG predictors: each row starts with its own filter type byte.
class PngRows final : public Rows {
public:
    PngRows(Pipeline *next, unsigned columns, unsigned colors, unsigned bits)
        : Rows("png decode", next, RowBytesOf(columns, colors, bits) + 1), pixelBytes_((bits * colors + 7) / 8)
    {
    }

private:
    static unsigned RowBytesOf(unsigned columns, unsigned colors, unsigned bits)
    {
        if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16)
            throw std::runtime_error("PNGFilter created with invalid bits_per_sample not 1, 2, 4, 8, or 16");
        return RowBytes(columns, colors, bits, "PNGFilter");
    }
    void Decode() override
    {
        if (above_.empty())
            above_.assign(rowBytes_ - 1, 0);
        unsigned char *row = row_.data() + 1;
        const unsigned char *up = above_.data();
        const size_t n = rowBytes_ - 1;
        const size_t bpp = pixelBytes_;
        switch (row_[0]) {
        case 1:
            for (size_t i = bpp; i < n; ++i)
                row[i] = static_cast<unsigned char>(row[i] + row[i - bpp]);
            break;
        case 2:
            for (size_t i = 0; i < n; ++i)
                row[i] = static_cast<unsigned char>(row[i] + up[i]);
            break;
        case 3:
            for (size_t i = 0; i < n; ++i) {
                const int left = i >= bpp ? row[i - bpp] : 0;
                row[i] = static_cast<unsigned char>(row[i] + (left + up[i]) / 2);
            }
            break;
        case 4:
            for (size_t i = 0; i < n; ++i) {
                const int a = i >= bpp ? row[i - bpp] : 0;
                const int b = up[i];
                const int c = i >= bpp ? up[i - bpp] : 0;
                const int p = a + b - c;
                const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
                row[i] = static_cast<unsigned char>(row[i] + (pa <= pb && pa <= pc ? a : pb <= pc ? b : c));
            }
            break;
        default:  // 0, and unknown types, which qpdf leaves as they are too
            break;
        }
        getNext()->write(row, n);
        std::memcpy(above_.data(), row, n);
    }
    const size_t pixelBytes_;
    std::vector<unsigned char> above_;
};

/// The TIFF predictor: each sample is stored as its difference from the same sample of the pixel to
/// its left, modulo its bit width.
class TiffRows final : public Rows {
public:
    TiffRows(Pipeline *next, unsigned columns, unsigned colors, unsigned bits)
        : Rows("tiff decode", next, RowBytesOf(columns, colors, bits)), columns_(columns), colors_(colors), bits_(bits)
    {
    }

private:
    static unsigned RowBytesOf(unsigned columns, unsigned colors, unsigned bits)
    {
        if (bits < 1 || bits > 64)
            throw std::runtime_error("TIFFPredictor created with invalid bits_per_sample");
        return RowBytes(columns, colors, bits, "TIFFPredictor");
    }
    void Decode() override
    {
        if (bits_ == 8) {
            for (size_t i = colors_; i < rowBytes_; ++i)
                row_[i] = static_cast<unsigned char>(row_[i] + row_[i - colors_]);
            getNext()->write(row_.data(), rowBytes_);
            return;
        }
        const std::uint64_t mask = bits_ == 64 ? ~std::uint64_t(0) : (std::uint64_t(1) << bits_) - 1;
        std::vector<std::uint64_t> left(colors_, 0);
        std::vector<unsigned char> out(rowBytes_, 0);
        std::uint64_t inBit = 0, outBit = 0;
        auto get = [&] {
            std::uint64_t v = 0;
            for (unsigned k = 0; k < bits_; ++k, ++inBit)
                v = (v << 1) | ((row_[inBit >> 3] >> (7 - (inBit & 7))) & 1u);
            return v;
        };
        auto put = [&](std::uint64_t v) {
            for (unsigned k = bits_; k-- > 0; ++outBit)
                if ((v >> k) & 1u)
                    out[outBit >> 3] = static_cast<unsigned char>(out[outBit >> 3] | (0x80u >> (outBit & 7)));
        };
        for (unsigned col = 0; col < columns_; ++col)
            for (unsigned s = 0; s < colors_; ++s) {
                left[s] = (get() + left[s]) & mask;
                put(left[s]);
            }
        getNext()->write(out.data(), out.size());
    }
    const unsigned columns_, colors_, bits_;
};

/// LZW as PDF uses it: codes of 9 to 12 bits, 256 clears the table, 257 ends the data; the code
/// width grows one code early unless /EarlyChange is 0. Errors are qpdf's, at the same points.
class LzwDecoder final : public Pipeline {
public:
    LzwDecoder(Pipeline *next, bool earlyChange) : Pipeline("lzw decode", next), earlyChange_(earlyChange ? 1 : 0) {}
    void write(unsigned char const *data, size_t len) override
    {
        for (size_t i = 0; i < len; ++i) {
            bits_ = (bits_ << 8) | data[i];
            held_ += 8;
            if (held_ >= codeSize_) {
                held_ -= codeSize_;
                const unsigned code = (bits_ >> held_) & ((1u << codeSize_) - 1);
                bits_ &= (1u << held_) - 1;
                Handle(code);
            }
        }
    }
    void finish() override { getNext()->finish(); }

private:
    struct Entry {
        std::uint16_t prefix;  ///< the code this entry extends
        unsigned char last;
        unsigned char first;
        std::uint16_t length;
    };

    unsigned char First(unsigned code) const
    {
        if (code < 256)
            return static_cast<unsigned char>(code);
        if (code < 258)
            throw std::runtime_error("Pl_LZWDecoder::getFirstChar called with invalid code (" + std::to_string(code) + ")");
        if (code - 258 >= table_.size())
            throw std::runtime_error("Pl_LZWDecoder::getFirstChar: table overflow");
        return table_[code - 258].first;
    }

    void Add(unsigned char next)
    {
        if (last_ > 257 && last_ - 258 >= table_.size())
            throw std::runtime_error("Pl_LZWDecoder::addToTable: table overflow");
        const std::uint16_t length = last_ < 256 ? 2 : static_cast<std::uint16_t>(table_[last_ - 258].length + 1);
        table_.push_back({static_cast<std::uint16_t>(last_), next, First(last_), length});
    }

    void Emit(unsigned code)
    {
        if (code < 256) {
            const auto byte = static_cast<unsigned char>(code);
            getNext()->write(&byte, 1);
            return;
        }
        if (code - 258 >= table_.size())
            throw std::runtime_error("Pl_LZWDecoder::handleCode: table overflow");
        const Entry &e = table_[code - 258];
        out_.resize(e.length);
        unsigned c = code;
        for (size_t i = e.length; i-- > 0;) {
            if (c < 256) {
                out_[i] = static_cast<unsigned char>(c);
                break;
            }
            out_[i] = table_[c - 258].last;
            c = table_[c - 258].prefix;
        }
        getNext()->write(out_.data(), out_.size());
    }

    void Handle(unsigned code)
    {
        if (eod_)
            return;
        if (code == 256) {
            table_.clear();
            codeSize_ = 9;
        } else if (code == 257) {
            eod_ = true;
        } else {
            if (last_ != 256) {
                const size_t size = table_.size();
                unsigned char next = 0;
                if (code < 256) {
                    next = static_cast<unsigned char>(code);
                } else {
                    const size_t index = code - 258;
                    if (index > size)
                        throw std::runtime_error("LZWDecoder: bad code received");
                    // The code the encoder has just made starts as the previous one does.
                    next = First(index == size ? last_ : code);
                }
                const unsigned newIndex = 258 + static_cast<unsigned>(size);
                if (newIndex == 4096)
                    throw std::runtime_error("LZWDecoder: table full");
                Add(next);
                const unsigned change = newIndex + earlyChange_;
                if (change == 511 || change == 1023 || change == 2047)
                    ++codeSize_;
            }
            Emit(code);
        }
        last_ = code;
    }

    const unsigned earlyChange_;
    unsigned codeSize_ = 9;
    std::uint32_t bits_ = 0;
    unsigned held_ = 0;
    unsigned last_ = 256;
    bool eod_ = false;
    std::vector<Entry> table_;
    std::vector<unsigned char> out_;
};

/// A whole number of /DecodeParms as qpdf converts it; a negative one does not convert.
unsigned Unsigned(int value)
{
    if (value < 0)
        throw std::range_error("integer out of range converting " + std::to_string(value) + " to an unsigned int");
    return static_cast<unsigned>(value);
}

/// Flate or LZW, with the predictor its /DecodeParms ask for; takes the parameters qpdf takes.
class PredictedFilter final : public QPDFStreamFilter {
public:
    explicit PredictedFilter(bool lzw) : lzw_(lzw) {}

    bool setDecodeParms(QPDFObjectHandle parms) override
    {
        if (parms.isNull())
            return true;
        bool filterable = true;
        for (const std::string &key : parms.getKeys()) {
            QPDFObjectHandle value = parms.getKey(key);
            if (key == "/Predictor") {
                filterable = filterable && value.isInteger();
                if (value.isInteger()) {
                    predictor_ = value.getIntValueAsInt();
                    if (predictor_ != 1 && predictor_ != 2 && (predictor_ < 10 || predictor_ > 15))
                        filterable = false;
                }
            } else if (key == "/Columns" || key == "/Colors" || key == "/BitsPerComponent") {
                filterable = filterable && value.isInteger();
                if (value.isInteger())
                    (key == "/Columns" ? columns_ : key == "/Colors" ? colors_ : bits_) = value.getIntValueAsInt();
            } else if (lzw_ && key == "/EarlyChange") {
                filterable = filterable && value.isInteger();
                if (value.isInteger()) {
                    const int change = value.getIntValueAsInt();
                    earlyChange_ = change == 1;
                    if (change != 0 && change != 1)
                        filterable = false;
                }
            }
        }
        return filterable && !(predictor_ > 1 && columns_ == 0);
    }

    Pipeline *getDecodePipeline(Pipeline *next) override
    {
        Pipeline *p = Keep(std::make_unique<Charged>(next));
        if (predictor_ >= 10 && predictor_ <= 15)
            p = Keep(std::make_unique<PngRows>(p, Unsigned(columns_), Unsigned(colors_), Unsigned(bits_)));
        else if (predictor_ == 2)
            p = Keep(std::make_unique<TiffRows>(p, Unsigned(columns_), Unsigned(colors_), Unsigned(bits_)));
        if (lzw_)
            return Keep(std::make_unique<LzwDecoder>(p, earlyChange_));
        return Keep(std::make_unique<Pl_Flate>("stream inflate", p, Pl_Flate::a_inflate));
    }

private:
    Pipeline *Keep(std::unique_ptr<Pipeline> p)
    {
        pipelines_.push_back(std::move(p));
        return pipelines_.back().get();
    }
    const bool lzw_;
    int predictor_ = 1;
    int columns_ = 0;
    int colors_ = 1;
    int bits_ = 8;
    bool earlyChange_ = true;
    std::vector<std::unique_ptr<Pipeline>> pipelines_;
};

class RunLengthFilter final : public QPDFStreamFilter {
public:
    Pipeline *getDecodePipeline(Pipeline *next) override
    {
        charged_ = std::make_unique<Charged>(next);
        decoder_ = std::make_unique<Pl_RunLength>("runlength decode", charged_.get(), Pl_RunLength::a_decode);
        return decoder_.get();
    }
    bool isSpecializedCompression() override { return true; }

private:
    std::unique_ptr<Pipeline> charged_;
    std::unique_ptr<Pipeline> decoder_;
};

}  // namespace

void Install()
{
    static std::once_flag once;
    std::call_once(once, [] {
        QPDF::registerStreamFilter("/FlateDecode", [] { return std::make_shared<PredictedFilter>(false); });
        QPDF::registerStreamFilter("/LZWDecode", [] { return std::make_shared<PredictedFilter>(true); });
        QPDF::registerStreamFilter("/RunLengthDecode", [] { return std::make_shared<RunLengthFilter>(); });
    });
}

}  // namespace folvane::streamdecoders
