#include "democatalog.h"

namespace suite::provision::Internal {

namespace {

// Local dishes (16): 0101001..0101012 regional dishes, 0102001..0102004 house desserts.
const DemoBranch kBranches[] = {
    {"0001", "Matriz", true, false, "12345", "1111111111111111", true},
    {"0002", "Filial Campinas", false, false, "1234", "1111111111001110", true},
    {"0003", "Filial Santos", false, false, "24", "", false},
    {"0004", "Cozinha Industrial Betim", false, false, "1245", "1111111100101100", true},
    {"0005", "Filial Ribeirão Preto", false, false, "234", "", false},
    {"0006", "Restaurante Hospital São Lucas", false, false, "12345", "1110101000001111", true},
    {"0007", "Filial Curitiba", false, false, "124", "", true},
    {"0008", "Cozinha Industrial Contagem", false, false, "1245", "1111111111110000", true},
    {"0009", "Filial Porto Alegre", false, false, "24", "", false},
    {"0010", "Refeitório Metalúrgica Sorocaba", false, true, "24", "", false},
    {"0011", "Filial Recife", false, false, "124", "", true},
    {"0012", "Cozinha Industrial Camaçari", false, false, "1245", "0000100010000010", false},
    {"0013", "Filial Joinville", false, false, "2", "", false},
    {"0014", "Filial Goiânia", false, false, "234", "", true},
};

const DemoGrouping kGroupings[] = {
    {"0000000001", "Região Sudeste", "0001 0002 0003 0004 0005 0006 0008 0010"},
    {"0000000002", "Região Sul", "0007 0009 0013"},
    {"0000000003", "Regiões Nordeste e Centro-Oeste", "0011 0012 0014"},
};

const DemoCode kDishTypes[] = {
    {"01", "Prato principal"}, {"02", "Guarnição"},   {"03", "Arroz e feijão"},
    {"04", "Salada"},          {"05", "Sobremesa"},   {"06", "Sopa"},
    {"07", "Bebida"},          {"08", "Vegetariano"}, {"09", "Desjejum"},
};

const DemoCode kServicePatterns[] = {
    {"00001", "Desjejum"}, {"00002", "Almoço"}, {"00003", "Lanche"}, {"00004", "Jantar"}, {"00005", "Ceia"},
};

const DemoDishGroup kStandardDishes[] = {
    {"01", "Pratos principais", nullptr, nullptr, nullptr},
    {"0101", "Carnes bovinas", "01",
     "Bife acebolado|Carne de panela|Picadinho de carne|Carne assada ao molho madeira|Almôndegas ao sugo|"
     "Bife à milanesa|Rosbife|Carne moída refogada|Estrogonofe de carne|Bife à parmegiana|Cupim assado|"
     "Costela no bafo|Iscas de fígado acebolado|Carne louca|Lagarto recheado|Goulash|Maminha grelhada|"
     "Escondidinho de carne|Kafta grelhada|Hambúrguer caseiro",
     "03 10 12 08"},
    {"0102", "Aves", "01",
     "Frango grelhado|Frango assado|Frango xadrez|Estrogonofe de frango|Filé de frango à milanesa|"
     "Sobrecoxa assada|Frango ao molho de mostarda|Frango ensopado|Galinhada|Peito de peru assado|"
     "Frango à parmegiana|Coxa de frango ao forno|Frango com quiabo|Fricassê de frango|Frango caipira|"
     "Filé de frango ao molho branco|Frango empanado|Yakisoba de frango",
     "04 10 12 08"},
    {"0103", "Suínos", "01",
     "Lombo assado|Bisteca suína grelhada|Pernil assado|Costelinha suína ao barbecue|Linguiça toscana assada|"
     "Feijoada|Lombo ao molho de laranja|Carré suíno|Copa lombo acebolada|Tutu com linguiça",
     "05 10 12 08"},
    {"0104", "Peixes e frutos do mar", "01",
     "Filé de tilápia grelhado|Peixe empanado|Moqueca de peixe|Filé de merluza ao molho de camarão|Bacalhoada|"
     "Peixe assado com legumes|Escondidinho de atum|Salmão grelhado|Caldeirada de peixe|Isca de peixe",
     "06 10 12 08"},
    {"02", "Guarnições", nullptr, nullptr, nullptr},
    {"0201", "Massas", "02",
     "Macarrão alho e óleo|Espaguete ao sugo|Talharim ao molho branco|Lasanha à bolonhesa|Nhoque ao sugo|"
     "Macarronada|Penne ao pesto|Canelone de ricota|Farfalle primavera|Rondelli de queijo",
     "02 07 12 10"},
    {"0202", "Legumes e verduras", "02",
     "Abobrinha refogada|Cenoura sauté|Couve refogada|Chuchu refogado|Brócolis no alho|Legumes no vapor|"
     "Repolho refogado|Quiabo refogado|Jardineira de legumes|Berinjela à parmegiana|Couve-flor gratinada|"
     "Vagem refogada|Abóbora cabotiá refogada|Espinafre refogado",
     "10 09 12 08"},
    {"0203", "Farofas, purês e fritos", "02",
     "Farofa de bacon|Farofa de cenoura|Purê de batata|Purê de mandioquinha|Batata frita|Mandioca cozida|"
     "Polenta frita|Batata sauté|Mandioca frita|Purê de abóbora|Batata-doce assada|Torta de legumes",
     "10 02 07 12"},
    {"03", "Arroz e feijão", nullptr, nullptr, nullptr},
    {"0301", "Arroz", "03",
     "Arroz branco|Arroz integral|Arroz à grega|Arroz com brócolis|Arroz carreteiro|Arroz de forno|"
     "Arroz com cenoura|Risoto de frango",
     "01 10 12 08"},
    {"0302", "Feijão", "03",
     "Feijão carioca|Feijão preto|Feijão tropeiro|Tutu de feijão|Feijão branco com linguiça|Baião de dois|"
     "Lentilha refogada|Feijão fradinho",
     "01 05 12 10"},
    {"04", "Saladas", nullptr, nullptr, nullptr},
    {"0401", "Folhas", "04",
     "Alface americana|Alface crespa|Rúcula|Agrião|Acelga com tomate|Mix de folhas|Repolho roxo|Almeirão", "09 12 08"},
    {"0402", "Legumes crus e cozidos", "04",
     "Tomate com cebola|Cenoura ralada|Beterraba cozida|Pepino em rodelas|Vinagrete|Chuchu cozido|"
     "Abobrinha grelhada|Palmito|Beterraba ralada|Cenoura cozida",
     "10 12 08"},
    {"0403", "Saladas compostas", "04",
     "Salada de maionese|Salpicão de frango|Salada de grão-de-bico|Salada caprese|Tabule|Salada de macarrão|"
     "Salada de batata com ovos|Salada de feijão-fradinho|Salada de lentilha|Coleslaw",
     "10 07 04 12"},
    {"05", "Sobremesas", nullptr, nullptr, nullptr},
    {"0501", "Frutas", "05",
     "Melancia em fatias|Mamão formosa|Laranja pera|Banana prata|Abacaxi em rodelas|Melão amarelo|"
     "Salada de frutas|Maçã fuji|Tangerina ponkan|Uva niágara",
     "11 13"},
    {"0502", "Doces", "05",
     "Pudim de leite|Gelatina de morango|Mousse de maracujá|Arroz doce|Doce de abóbora|Canjica|"
     "Bolo de cenoura com chocolate|Pavê de bolacha|Manjar de coco|Cocada|Goiabada com queijo|Sagu de vinho|"
     "Brigadeiro de colher|Doce de leite",
     "13 07 02 11"},
    {"06", "Sopas e caldos", nullptr, nullptr, nullptr},
    {"0601", "Sopas", "06",
     "Sopa de legumes|Canja de galinha|Caldo verde|Sopa de feijão|Creme de abóbora|Sopa de ervilha|"
     "Caldo de mandioca com carne|Creme de milho|Sopa de macarrão|Creme de mandioquinha",
     "10 01 04 12"},
    {"07", "Bebidas", nullptr, nullptr, nullptr},
    {"0701", "Sucos e refrescos", "07",
     "Suco de laranja|Suco de maracujá|Suco de caju|Suco de goiaba|Refresco de limão|Suco de uva|"
     "Suco de acerola|Chá gelado de hibisco",
     "14 11 13"},
    {"0702", "Bebidas quentes", "07",
     "Café com leite|Café preto|Chá de camomila|Achocolatado|Chá mate|Leite com canela", "14 07 13"},
    {"08", "Vegetarianos", nullptr, nullptr, nullptr},
    {"0801", "Pratos vegetarianos", "08",
     "Omelete de legumes|Quibe de abóbora|Hambúrguer de grão-de-bico|Escondidinho de legumes|"
     "Moqueca de banana-da-terra|Estrogonofe de cogumelos|Lasanha de berinjela|Torta de palmito|Ovos mexidos|"
     "Abobrinha recheada|Falafel|Feijoada vegetariana",
     "10 07 01 12"},
    {"09", "Desjejum e lanches", nullptr, nullptr, nullptr},
    {"0901", "Pães e biscoitos", "09",
     "Pão francês com manteiga|Pão de queijo|Pão integral|Pão de forma com requeijão|Misto quente|"
     "Tapioca com queijo|Cuscuz nordestino|Torrada|Biscoito de polvilho|Pão de milho",
     "16 07 02"},
    {"0902", "Bolos e frios", "09",
     "Bolo de fubá|Bolo de laranja|Bolo de milho|Queijo minas frescal|Mortadela fatiada|Presunto e queijo|"
     "Iogurte natural|Vitamina de banana|Mingau de aveia|Bolo de banana",
     "02 13 07 11"},
};

const DemoDishGroup kLocalTree[] = {
    {"01", "Receitas da unidade", nullptr, nullptr, nullptr},
    {"0101", "Pratos regionais", "01",
     "Virado à paulista|Arroz carreteiro da casa|Vaca atolada|Frango com pequi|Moqueca baiana|Barreado|"
     "Galinhada mineira|Escondidinho de carne-seca|Baião de dois da casa|Cuscuz paulista|Picanha na chapa|"
     "Peixe na telha",
     "03 05 10 12"},
    {"0102", "Sobremesas da casa", "05", "Quindim|Romeu e julieta|Bolo de rolo|Pamonha doce", "13 07 11"},
};

const DemoProductGroup kProducts[] = {
    {"01", "KG",
     "Arroz tipo 1|Arroz parboilizado|Arroz integral|Feijão carioca|Feijão preto|Feijão branco|Feijão-fradinho|"
     "Lentilha|Grão-de-bico|Ervilha seca|Milho de canjica|Aveia em flocos|Quinoa em grãos|Milho para pipoca|"
     "Trigo para quibe|Soja em grãos"},
    {"02", "KG",
     "Farinha de trigo|Farinha de mandioca|Farinha de milho|Fubá mimoso|Farinha de rosca|Polvilho doce|"
     "Polvilho azedo|Amido de milho|Tapioca granulada|Goma de tapioca|Macarrão espaguete|Macarrão parafuso|"
     "Macarrão penne|Macarrão talharim|Massa para lasanha|Macarrão farfalle|Nhoque de batata|Massa de pastel|"
     "Sagu|Flocão de milho|Farelo de aveia|Massa para rondelli|Macarrão para yakisoba|Canelone seco"},
    {"03", "KG",
     "Acém|Patinho|Coxão mole|Coxão duro|Alcatra|Contrafilé|Fraldinha|Cupim|Costela bovina|Músculo|"
     "Carne moída|Lagarto|Maminha|Picanha|Fígado bovino|Carne-seca|Paleta bovina|Miolo de alcatra|"
     "Filé-mignon|Cupim fatiado"},
    {"04", "KG",
     "Peito de frango|Filé de peito de frango|Coxa de frango|Sobrecoxa de frango|Asa de frango|Frango inteiro|"
     "Coxinha da asa|Peito de peru|Frango caipira|Filé de sobrecoxa|Frango em cubos|Miúdos de frango"},
    {"05", "KG",
     "Lombo suíno|Pernil suíno|Bisteca suína|Costelinha suína|Linguiça toscana|Linguiça calabresa|"
     "Bacon em cubos|Paio|Orelha suína|Pé suíno|Copa lombo|Presunto cozido|Mortadela|Salsicha|"
     "Peito de peru defumado|Salame italiano|Carré suíno|Toucinho defumado"},
    {"06", "KG",
     "Filé de tilápia|Filé de merluza|Filé de pescada|Cação em postas|Salmão|Bacalhau dessalgado|"
     "Camarão limpo|Atum em lata:UN|Sardinha em lata:UN|Filé de panga|Lula em anéis|Surimi"},
    {"07", "KG",
     "Ovo de galinha:UN|Leite integral:LT|Leite desnatado:LT|Leite em pó|Creme de leite|Leite condensado|"
     "Manteiga|Margarina|Queijo muçarela|Queijo parmesão ralado|Queijo minas frescal|Requeijão cremoso|"
     "Iogurte natural:LT|Ricota|Queijo prato|Requeijão culinário|Leite de coco:LT|Coalhada:LT|Cream cheese|"
     "Queijo coalho"},
    {"08", "LT",
     "Óleo de soja|Azeite de oliva|Azeite de dendê|Óleo de girassol|Óleo de canola|Gordura vegetal:KG|"
     "Banha de porco:KG|Óleo de milho"},
    {"09", "KG",
     "Alface americana|Alface crespa|Rúcula|Agrião|Couve-manteiga|Espinafre|Acelga|Repolho verde|"
     "Repolho roxo|Almeirão|Cheiro-verde|Salsinha|Cebolinha|Coentro|Manjericão fresco|Hortelã|Alho-poró|"
     "Salsão|Couve-flor|Brócolis|Escarola|Mostarda em folha"},
    {"10", "KG",
     "Batata inglesa|Batata-doce|Mandioca|Mandioquinha|Cenoura|Beterraba|Abobrinha italiana|Abóbora cabotiá|"
     "Abóbora moranga|Chuchu|Berinjela|Pimentão verde|Pimentão vermelho|Pimentão amarelo|Tomate|Tomate cereja|"
     "Cebola|Cebola roxa|Alho|Pepino|Quiabo|Vagem|Milho verde|Ervilha fresca|Inhame|Cará|Gengibre|Nabo|"
     "Rabanete|Jiló|Maxixe|Palmito pupunha|Cogumelo champignon|Cogumelo shimeji|Banana-da-terra|Pequi"},
    {"11", "KG",
     "Banana prata|Banana nanica|Maçã fuji|Maçã gala|Laranja pera|Laranja lima|Limão taiti|Mamão formosa|"
     "Mamão papaia|Melancia|Melão amarelo|Abacaxi pérola:UN|Manga tommy|Uva niágara|Uva itália|Pera williams|"
     "Goiaba vermelha|Maracujá azedo|Tangerina ponkan|Morango|Kiwi|Caju|Acerola|Coco seco:UN|Abacate|Caqui|"
     "Ameixa|Pêssego|Carambola|Graviola"},
    {"12", "KG",
     "Sal refinado|Sal grosso|Pimenta-do-reino moída|Orégano|Cominho|Colorau|Páprica doce|Páprica defumada|"
     "Louro em folhas|Noz-moscada|Canela em pó|Canela em pau|Cravo-da-índia|Açafrão-da-terra|Curry|Alecrim|"
     "Tomilho|Ervas finas|Caldo de galinha|Caldo de carne|Caldo de legumes|Molho de soja:LT|"
     "Vinagre de álcool:LT|Vinagre de maçã:LT|Molho inglês:LT|Mostarda|Ketchup|Maionese|Extrato de tomate|"
     "Molho de tomate|Tomate pelado|Pimenta calabresa|Alho desidratado|Cebola desidratada|Fermento químico|"
     "Fermento biológico|Bicarbonato de sódio|Gergelim|Chimichurri|Molho de pimenta:LT"},
    {"13", "KG",
     "Açúcar refinado|Açúcar cristal|Açúcar mascavo|Açúcar de confeiteiro|Mel|Chocolate em pó|Cacau em pó|"
     "Achocolatado em pó|Chocolate meio amargo|Granulado de chocolate|Coco ralado|Goiabada|Doce de leite|"
     "Gelatina de morango|Gelatina de limão|Gelatina sem sabor|Pudim em pó|Adoçante:LT|Melado de cana|"
     "Rapadura|Geleia de morango|Marshmallow"},
    {"14", "KG",
     "Café torrado e moído|Chá mate|Chá de camomila:UN|Chá de hibisco|Polpa de maracujá|Polpa de caju|"
     "Polpa de goiaba|Polpa de acerola|Suco de uva integral:LT|Água mineral:LT|Refrigerante de cola:LT|"
     "Refrigerante de guaraná:LT|Água de coco:LT|Suco de laranja integral:LT|Chá preto:UN|Polpa de cupuaçu"},
    {"15", "KG",
     "Milho em conserva|Ervilha em conserva|Azeitona verde|Azeitona preta|Palmito em conserva|"
     "Pepino em conserva|Seleta de legumes|Cogumelo em conserva|Alcaparra|Pêssego em calda|Figo em calda|"
     "Uva-passa|Ameixa seca|Castanha-de-caju|Amendoim torrado|Nozes|Amêndoas|Damasco seco"},
    {"16", "UN",
     "Pão francês|Pão de forma|Pão integral|Pão de hambúrguer|Pão de queijo congelado:KG|Pão sírio|"
     "Torrada:KG|Biscoito de polvilho:KG|Biscoito cream cracker:KG|Biscoito maisena:KG|Bolacha champanhe:KG|"
     "Massa folhada:KG|Batata pré-frita congelada:KG|Polenta congelada:KG|Hambúrguer bovino congelado|"
     "Empanado de frango:KG|Sorvete de creme:LT|Tortilha de trigo|Croissant|Bisnaguinha"},
};

const DemoCycle kCycles[] = {
    {"00001", "Cardápio padrão 4 semanas", 28, "24"},
    {"00002", "Cardápio de verão", 14, "2"},
    {"00003", "Cardápio hospitalar", 14, "12345"},
    {"00004", "Cardápio industrial 3 semanas", 21, "1245"},
};

} // namespace

std::span<const DemoBranch> demoBranches()
{
    return kBranches;
}
std::span<const DemoGrouping> demoGroupings()
{
    return kGroupings;
}
std::span<const DemoCode> demoDishTypes()
{
    return kDishTypes;
}
std::span<const DemoCode> demoServicePatterns()
{
    return kServicePatterns;
}
std::span<const DemoDishGroup> demoStandardTree()
{
    return kStandardDishes;
}
std::span<const DemoDishGroup> demoLocalTree()
{
    return kLocalTree;
}
std::span<const DemoProductGroup> demoProducts()
{
    return kProducts;
}
std::span<const DemoCycle> demoCycles()
{
    return kCycles;
}

} // namespace suite::provision::Internal
