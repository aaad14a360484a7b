#include "CsvReader.h"

std::optional<std::vector<CsvRecord>> ReadCsv(const QByteArray &data)
{
    std::vector<CsvRecord> records;
    CsvRecord record;
    std::string field;
    const qsizetype size = data.size();
    qsizetype i = 0;
    if (size == 0)
        return records;
    for (;;) {
        // One field, from i.
        field.clear();
        if (i < size && data[i] == '"') {
            ++i;
            for (;;) {
                if (i >= size)
                    return std::nullopt; // unterminated quote
                if (data[i] == '"') {
                    if (i + 1 < size && data[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += data[i++];
            }
        } else {
            while (i < size && data[i] != ',' && data[i] != '\r' && data[i] != '\n') {
                if (data[i] == '"')
                    return std::nullopt; // a quote inside an unquoted field
                field += data[i++];
            }
        }
        record.push_back(field);
        // What ends the field.
        if (i >= size) {
            records.push_back(record);
            return records;
        }
        if (data[i] == ',') {
            ++i;
            continue;
        }
        if (data[i] == '\r' && i + 1 < size && data[i + 1] == '\n') {
            records.push_back(record);
            record.clear();
            i += 2;
            if (i >= size)
                return records;
            continue;
        }
        return std::nullopt; // text after a closing quote, or a bare CR or LF
    }
}
